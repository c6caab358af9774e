# Prints a file's size against a limit: cmake -DFILE=... -DLIMIT=... -P print_size.cmake
file(SIZE "${FILE}" size)
math(EXPR kib "(${size} + 1023) / 1024")
get_filename_component(name "${FILE}" NAME)
if(size GREATER LIMIT)
  message(WARNING "${name}: ${size} bytes (${kib} KiB), over the ${LIMIT}-byte budget")
else()
  message(STATUS "${name}: ${size} bytes (${kib} KiB) of ${LIMIT}")
endif()
