#include "ini_access.h"

#include "profile_service.h"

void INIAccess::SetAppPathFilename(const std::string& strFileName) {
    FileName = profile::joinPath(profile::programFolder(), strFileName);
}

bool INIAccess::SetINIData(const std::string& strKey, const std::string& strData,
                           const std::string& strSection) {
    if (FileName.empty()) return false;
    if (strSection.empty() && Section.empty()) return false;
    if (!strSection.empty()) Section = strSection;
    // No existence test: writing to a missing file creates it.
    return profile::writeProfileString(Section, strKey, strData, FileName);
}

std::string INIAccess::GetINIData(const std::string& strKey, const std::string& strSection) {
    if (FileName.empty()) return "";
    if (strSection.empty() && Section.empty()) return "";
    // Checked before the section argument is kept: a read of a missing file
    // leaves Section as it was.
    if (!FileExists(FileName)) return "";
    if (!strSection.empty()) Section = strSection;
    std::string value;
    if (profile::getProfileString(Section, strKey, "", value, profile::kDefaultBufferSize,
                                  FileName) == 0)
        return "";
    return value.substr(0, value.find('\0'));
}

bool INIAccess::FileExists(const std::string& path) { return profile::pathExists(path); }
