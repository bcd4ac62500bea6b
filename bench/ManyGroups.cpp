#include "ManyGroups.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace bench {

QByteArray regroupedPlaylist(const QByteArray& source, int groups, bool sorted)
{
    const qsizetype firstEntry = source.indexOf("#EXTINF");
    std::vector<std::pair<int, QByteArray>> records; // group, the entry's two lines
    records.reserve(std::size_t(source.count("#EXTINF")));
    std::uint64_t draw = 0x9E3779B97F4A7C15ULL;
    for (qsizetype at = firstEntry; at >= 0 && at < source.size();) {
        const qsizetype infoEnd = source.indexOf('\n', at);
        const qsizetype end = source.indexOf('\n', infoEnd + 1) + 1;
        QByteArray record = source.sliced(at, end - at);
        const qsizetype from = record.indexOf("group-title=\"") + 13;
        const qsizetype to = record.indexOf('"', from);
        draw = draw * 6364136223846793005ULL + 1442695040888963407ULL;
        const int group = int((draw >> 33) % std::uint64_t(groups));
        static const char* const kinds[] = {"Deportes", "Películas", "Noticias", "Series", "Música", "Niños"};
        const QByteArray title = QByteArray(kinds[group % 6]) + " | País " + QByteArray::number(group * 7919 % 100000);
        record.replace(from, to - from, title);
        records.emplace_back(group, std::move(record));
        at = end;
    }
    if (sorted) {
        std::vector<int> firstSeen(std::size_t(groups), -1);
        int next = 0;
        for (const auto& record : records)
            if (firstSeen[std::size_t(record.first)] < 0)
                firstSeen[std::size_t(record.first)] = next++;
        std::stable_sort(records.begin(), records.end(), [&](const auto& a, const auto& b) {
            return firstSeen[std::size_t(a.first)] < firstSeen[std::size_t(b.first)];
        });
    }
    QByteArray out = source.first(firstEntry);
    out.reserve(source.size() + source.size() / 8);
    for (const auto& record : records)
        out.append(record.second);
    return out;
}

} // namespace bench
