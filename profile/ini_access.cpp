#include "ini_access.h"

#include "profile_service.h"

void INIAccess::SetAppPathFilename(const std::string& strFileName)
{
    // Without the program folder no file is chosen: later calls do nothing
    // rather than work on a file somewhere else.
    const std::string folder = profile::programFolder();
    FileName = folder.empty() ? std::string() : profile::joinPath(folder, strFileName);
}

bool INIAccess::SetINIData(const std::string& strKey, const std::string& strData, const std::string& strSection)
{
    if (FileName.empty())
        return false;
    if (strSection.empty() && Section.empty())
        return false;
    if (!strSection.empty())
        Section = strSection;
    // No existence test: writing to a missing file creates it.
    return profile::writeProfileString(Section, strKey, strData, FileName);
}

std::string INIAccess::GetINIData(const std::string& strKey, const std::string& strSection)
{
    if (FileName.empty())
        return "";
    if (strSection.empty() && Section.empty())
        return "";
    // Checked before the section argument is kept: a read of a missing file
    // leaves Section as it was.
    if (!FileExists(FileName))
        return "";
    if (!strSection.empty())
        Section = strSection;
    std::string value;
    if (profile::getProfileString(Section, strKey, "", value, profile::kDefaultBufferSize, FileName) == 0)
        return "";
    return value.substr(0, value.find('\0'));
}

bool INIAccess::FileExists(const std::string& path) { return profile::pathExists(path); }
