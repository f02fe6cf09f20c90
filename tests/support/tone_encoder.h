// Sound files made with FFmpeg's encoders, for the formats libsndfile cannot write here (IMA4
// in CAF, AAC in MPEG-4).
#pragma once

#include <string>

namespace testing_support {

// Writes a 440 Hz tone of about `seconds` (whole encoder frames) through the muxer ("caf",
// "aiff", "ipod" for M4A, "adts") with the encoder ("adpcm_ima_qt", "aac"). False, with `error`
// set, when FFmpeg cannot.
bool encodeTone(const std::string& path, const char* muxer, const char* encoder, double seconds,
                int rate, int channels, std::string& error);

}  // namespace testing_support
