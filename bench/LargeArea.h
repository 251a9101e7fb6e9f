#pragma once

// The large areas the benchmarks measure, written byte by byte through the test board builder:
// one header, index and long-name record per entry, the descriptions appended in order and both
// description pointers set.

#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "tests/support/BoardBuilder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace qv::bench {

struct BenchEntry {
    std::string name;
    int32_t size = 0;
    std::string uploader = {};
    int32_t fileDate = 0;
    std::string longName = {};
    std::string description = {};
    int32_t uploadDate = 0; // also the last-download date; no downloads
};

// The 8.3 alias a DOS-era system gives the i-th long name starting "A rather ...", as a board
// holds them: ARATHE~1.ZIP .. ARA~1234.ZIP.
inline std::string aliasName(int i)
{
    char tail[16];
    const int digits = std::snprintf(tail, sizeof tail, "~%d", i + 1);
    char name[32];
    std::snprintf(name, sizeof name, "%.*s%s.ZIP", std::min(6, 8 - digits), "ARATHE", tail);
    return name;
}

// Returns the bytes of the description file it wrote.
inline size_t writeLargeArea(
    test::BoardBuilder& builder, int area, int entries, const std::function<BenchEntry(int)>& entryAt)
{
    std::vector<HeaderRecord> headers;
    std::vector<IndexRecord> indexes;
    std::vector<LongNameRecord> longNames;
    std::vector<uint8_t> text;
    headers.reserve(size_t(entries));
    indexes.reserve(size_t(entries));
    longNames.reserve(size_t(entries));
    for (int i = 0; i < entries; ++i) {
        const BenchEntry e = entryAt(i);
        HeaderRecord h;
        h.setName(e.name);
        h.setSize(e.size);
        h.setUploader(e.uploader);
        h.setFileDate(e.fileDate);
        h.setUploadDate(e.uploadDate);
        h.setLastDownloadDate(e.uploadDate);
        h.setDescriptionPointer(int32_t(text.size()));
        IndexRecord x;
        x.setName(e.name);
        x.setDescriptionPointer(int32_t(text.size()));
        x.setUploadDate(e.uploadDate);
        LongNameRecord l;
        l.setName(e.longName);
        text.insert(text.end(), e.description.begin(), e.description.end());
        text.push_back(0);
        headers.push_back(h);
        indexes.push_back(x);
        longNames.push_back(l);
    }
    builder.writeAreaFiles(area, headers, indexes, longNames, text);
    return text.size();
}

// Per-iteration ratios of a work's time over its plain operation's, reported as the median and
// the spread: ratio (median), ratio_min, ratio_max.
class Ratios {
public:
    void add(double work, double plain)
    {
        if (plain > 0)
            m_ratios.push_back(work / plain);
    }
    template <class State> void report(State& state, const std::string& name = "ratio") const
    {
        if (m_ratios.empty())
            return;
        std::vector<double> r = m_ratios;
        std::sort(r.begin(), r.end());
        const size_t n = r.size();
        state.counters[name] = n % 2 ? r[n / 2] : (r[n / 2 - 1] + r[n / 2]) / 2;
        state.counters[name + "_min"] = r.front();
        state.counters[name + "_max"] = r.back();
    }

private:
    std::vector<double> m_ratios;
};

// The plain operation a rewrite is measured beside: each file copied in 1 MiB blocks and the
// copy flushed; the seconds it took (the copies are removed afterwards, untimed).
inline double flushedCopies(const std::vector<std::string>& files)
{
    static std::vector<char> buffer(1 << 20);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& from : files) {
        const int in = ::open(from.c_str(), O_RDONLY);
        const int out = ::open((from + ".copy").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (ssize_t n; (n = ::read(in, buffer.data(), buffer.size())) > 0;)
            if (::write(out, buffer.data(), size_t(n)) != n)
                break;
        ::fsync(out);
        ::close(in);
        ::close(out);
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const std::string& f : files)
        std::remove((f + ".copy").c_str());
    return s;
}

inline double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// An area's files as first written, kept beside them (".orig") and put back before each round.
inline void keepOriginals(const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        std::filesystem::copy_file(f, f + ".orig", std::filesystem::copy_options::overwrite_existing);
}
inline void restoreOriginals(const std::vector<std::string>& files)
{
    for (const std::string& f : files)
        std::filesystem::copy_file(f + ".orig", f, std::filesystem::copy_options::overwrite_existing);
}

} // namespace qv::bench
