#pragma once

#include <string>

// One profile file and one current section; reads and writes single keys
// through the profile service (profile_service.h). Strings are UTF-8 in
// memory; the service converts them to and from the file's code page.
class INIAccess {
public:
    std::string FileName;  // full path of the profile file; empty = none chosen
    std::string Section;   // current section; a non-empty section argument replaces it

    // FileName = program folder + separator (unless it ends in one) + strFileName;
    // empty when the program folder cannot be found.
    void SetAppPathFilename(const std::string& strFileName);

    // Writes strKey=strData into the current (or given) section. False when
    // nothing could be written: no file or section, a character the file's
    // code page cannot hold, or a failed write (the old file is then untouched;
    // profile::lastError() tells why).
    bool SetINIData(const std::string& strKey, const std::string& strData, const std::string& strSection = "");

    // The value of strKey, at most 255 bytes in the file's code page;
    // "" when missing, empty or unreadable.
    std::string GetINIData(const std::string& strKey, const std::string& strSection = "");

private:
    bool FileExists(const std::string& path);
};
