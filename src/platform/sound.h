#pragma once

#include <QString>

namespace quorlink {

// Plays a sound file (a WAV file) through the operating system. With `wait`
// the call returns when the sound has ended (bounded by
// maxWaitForSoundMs); otherwise it returns at once while the sound plays on.
// A missing file, or a system without a way to play sound, plays nothing:
// the result is false and nothing is reported, because a silent progress bar
// is no fault of the user's.
bool playSoundFile(const QString& path, bool wait);

// Longest a waiting play blocks the caller before the player is stopped.
inline constexpr int maxWaitForSoundMs = 30'000;

} // namespace quorlink
