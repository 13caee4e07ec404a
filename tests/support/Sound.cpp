#include "Sound.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Files.h"
#include "Input.h"
#include "Processes.h"

namespace testing_support {

namespace {
constexpr int kRecordRate = 11025;
}  // namespace

std::vector<short> RecordSink(double seconds, const std::function<void()>& during) {
    std::vector<short> samples;
    std::wstring folder = MakeTempFolder(L"orvn_rec"), raw = folder + L"rec.raw", part = raw + L".part";
    std::wstring file = UnixPath(raw);
    // The samples of the length asked for, counted from the first one (the recorder may take a second to start),
    // written under another name and renamed when complete, so the end can be told.
    const size_t wanted = static_cast<size_t>(seconds * kRecordRate) * 2;
    wchar_t script[1024];
    swprintf(script, 1024,
             L"-c \"/usr/bin/timeout %.2f /usr/bin/parec -d ${PULSE_SINK:-orvn_null}.monitor --raw --format=s16le "
             L"--rate=%d --channels=1 --latency-msec=20 | /usr/bin/head -c %u > %ls.part; /bin/mv %ls.part %ls\"",
             seconds + 30, kRecordRate, unsigned(wanted), file.c_str(), file.c_str(), file.c_str());
    // A Unix program gives no process handle; the renamed file is the signal.
    auto started = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return ::GetFileAttributesExW(part.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 0;
    };
    std::string bytes;
    Process recorder;
    if (!file.empty() && StartProcess(L"Z:\\bin\\sh", script, L"", &recorder)) {
        if (PumpUntil(started, 20000)) {
            if (during) during();
            if (PumpUntil([&] { return ::GetFileAttributesW(raw.c_str()) != INVALID_FILE_ATTRIBUTES; },
                          static_cast<DWORD>(seconds * 1000) + 20000) &&
                ReadFileBytes(raw, &bytes) && bytes.size() == wanted)
                samples.assign(reinterpret_cast<const short*>(bytes.data()),
                               reinterpret_cast<const short*>(bytes.data()) + bytes.size() / 2);
        }
    }
    RemoveFolder(folder);
    return samples;
}

double Rms(const std::vector<short>& samples, double from, double to) {
    size_t a = static_cast<size_t>(std::max(0.0, from) * kRecordRate);
    size_t b = std::min(samples.size(), static_cast<size_t>(std::max(0.0, to) * kRecordRate));
    if (b <= a) return 0;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(b - a));
}

std::vector<double> Envelope(const std::vector<short>& samples, double blockSeconds) {
    std::vector<double> out;
    double total = static_cast<double>(samples.size()) / kRecordRate;
    for (double t = 0; t + blockSeconds <= total; t += blockSeconds) out.push_back(Rms(samples, t, t + blockSeconds));
    return out;
}

}  // namespace testing_support
