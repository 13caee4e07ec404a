#pragma once
// Sound: the bench's null sink, recorded through PulseAudio's parec (a Linux
// program, which Wine runs when given its path), as mono 16-bit samples.
// Nothing playing records as exact zeros.
#include <functional>
#include <vector>

namespace testing_support {

// Records seconds of sound from its first sample on while during() runs; empty unless it came whole.
std::vector<short> RecordSink(double seconds, const std::function<void()>& during = {});
// Root mean square of the samples between two times (seconds), 0 when empty.
double Rms(const std::vector<short>& samples, double from, double to);
// Levels (RMS) of consecutive blocks of blockSeconds.
std::vector<double> Envelope(const std::vector<short>& samples, double blockSeconds);

}  // namespace testing_support
