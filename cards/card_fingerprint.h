#pragma once

// What a card file held, in a few bytes: enough to tell whether someone else
// has written the file since this program last read or wrote it.

#include <cstddef>
#include <string>
#include <string_view>

struct CardFingerprint {
    enum class State {
        NoFile,      // nothing at the path
        Bytes,       // a file of `size` bytes whose hash is `hash`
        Unreadable,  // something is there that cannot be read as a card
    };
    State state = State::NoFile;
    std::size_t size = 0;
    std::size_t hash = 0;

    bool operator==(const CardFingerprint&) const = default;
};

CardFingerprint fingerprintOfBytes(std::string_view bytes);

// What the file at path holds now, read once.
CardFingerprint currentFingerprint(const std::string& path);

// True when the file is now exactly as remembered. What cannot be read is
// never known to be unchanged.
bool unchangedSince(const CardFingerprint& remembered, const CardFingerprint& now);
