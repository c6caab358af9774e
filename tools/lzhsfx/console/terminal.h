// Whether a person is at the other end of the standard streams.
#pragma once

namespace lzhcli {

// Standard input is a terminal someone can answer at. On Windows only a
// console counts: the NUL device, which a program started without one
// gets, also passes for a character device.
bool StdinIsTerminal();
// Standard error is a terminal that can show a progress line.
bool StderrIsTerminal();

}  // namespace lzhcli
