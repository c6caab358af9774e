#include "test_files.h"

#include <cstdio>

#include "sfx/pe_checksum.h"
#include "sfx/pe_resources.h"
#include "wine_test.h"

namespace wine_e2e {

std::string stubPath;
std::string workDir;

Bytes ReadFileBytes(const std::string& path) {
  Bytes bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<std::uint8_t>(c));
  std::fclose(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string MakeTestDirectory(const std::string& name) {
  std::string dir = workDir + "\\" + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

bool BuildProgram(const std::string& path, const Bytes& archive,
                  const lzh::sfx::ProgramSettings& settings) {
  Bytes program = ReadFileBytes(stubPath);
  std::string error;
  if (program.empty()) {
    failures.push_back("cannot read the stub " + stubPath);
    return false;
  }
  if (!lzh::sfx::WriteSettings(program, settings, error)) {
    failures.push_back("cannot give the stub its settings: " + error);
    return false;
  }
  if (!lzh::sfx::PatchArchiveOffset(program, static_cast<std::uint32_t>(program.size()), error)) {
    failures.push_back("cannot patch the stub: " + error);
    return false;
  }
  program.insert(program.end(), archive.begin(), archive.end());
  if (!lzh::sfx::WritePeChecksum(program, error)) {
    failures.push_back("cannot write the checksum: " + error);
    return false;
  }
  return Expect(WriteFileBytes(path, program), "cannot write " + path);
}

MemberPlan Stored(const std::string& name, const std::string& content, int level) {
  MemberPlan member = lzhtest::StoredMember(name, content, level);
  member.timeStamp = kStamp;
  return member;
}

MemberPlan StoredInDirectory(const std::string& dir, const std::string& name,
                             const std::string& content) {
  MemberPlan member = lzhtest::StoredMember(name, content, 2);
  member.timeStamp = 1091958662;  // 2004-08-08 09:51:02 UTC
  member.records.push_back({2, lzhtest::DirectoryRecordData(dir)});
  return member;
}

std::vector<MemberPlan> MixedMembers() {
  return {Stored("docs\\readme.txt", "read me\r\n"), Stored("a.txt", "AAAA"),
          Stored("Zeta\\sub\\b.bin", std::string("\x00\x01\x02\xFF", 4))};
}

std::string OutputWithExistingFiles(const std::string& dir, const std::vector<std::string>& names) {
  std::string out = dir + "\\out";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA(out.c_str(), nullptr);
  for (const std::string& name : names) {
    std::string path = out + "\\" + name;
    std::string parent = path.substr(0, path.find_last_of('\\'));
    CreateDirectoryA(parent.c_str(), nullptr);
    Expect(WriteFileBytes(path, lzhtest::ToBytes("old")), "cannot write " + path);
  }
  return out;
}

namespace {

// The last-write time of a file as "YYYY-MM-DD hh:mm:ss", in UTC or in
// local time. Local time goes through FileTimeToLocalFileTime, the same
// (current) bias the program's LocalFileTimeToFileTime applies.
std::string WriteTime(const std::string& path, bool local) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(cannot open)";
  FILETIME written, shown;
  SYSTEMTIME t;
  GetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  shown = written;
  if (local) FileTimeToLocalFileTime(&written, &shown);
  FileTimeToSystemTime(&shown, &t);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond);
  return text;
}

}  // namespace

void ExpectFile(const std::string& path, const std::string& content, Stamp stamp) {
  Bytes bytes = ReadFileBytes(path);
  if (!Expect(Exists(path), "missing " + path)) return;
  Expect(bytes == Bytes(content.begin(), content.end()), "wrong content in " + path);
  bool dos = stamp == Stamp::DosLocal;
  std::string time = WriteTime(path, dos);
  Expect(time == (dos ? "2004-08-08 11:51:02" : "2004-08-08 09:51:02"),
         path + " has time " + time + (dos ? " local" : " UTC"));
}

}  // namespace wine_e2e
