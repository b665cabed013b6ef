#include "card_fingerprint.h"

#include "file_io.h"

#include <cerrno>
#include <functional>

CardFingerprint fingerprintOfBytes(std::string_view bytes)
{
    // Fingerprints live only as long as the program runs, so the library's
    // own hash of a text is good enough: it never has to match another build.
    return {CardFingerprint::State::Bytes, bytes.size(), std::hash<std::string_view>{}(bytes)};
}

CardFingerprint currentFingerprint(const std::string& path)
{
    std::string bytes;
    switch (profile::readFileOnce(path, bytes)) {
    case 0: return fingerprintOfBytes(bytes);
    case ENOENT: return {};
    default: return {CardFingerprint::State::Unreadable};
    }
}

bool unchangedSince(const CardFingerprint& remembered, const CardFingerprint& now)
{
    return now.state != CardFingerprint::State::Unreadable && now == remembered;
}
