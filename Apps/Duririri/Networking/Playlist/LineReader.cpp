#include "Networking/Playlist/LineReader.h"

#include "Networking/Playlist/EntryLine.h"
#include "Networking/Playlist/LineFramer.h"
#include "NetKit/PlaylistText.h"
#include "NetKit/Workers.h"

namespace sendra::playlist {

using netkit::playlist::findLineEnd;
using netkit::playlist::trimmed;

void LineReader::read(std::string_view text, TextStart start, qint64 expectedBytes)
{
    if (!m_started) {
        m_started = true;
        if (start == TextStart::playlist && text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        builder.nodes.reserve(estimatedEntries(text.substr(0, 1 << 20), expectedBytes));
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        if ((m_stop && m_stop->load(std::memory_order_relaxed)) || netkit::workersStopping())
            return;
        std::size_t endLength = 0;
        const std::size_t start = pos;
        const std::size_t end = findLineEnd(text, pos, endLength);
        pos = end + endLength;
        if (end - start > kMaxLineBytes)
            continue;
        const std::string_view line = trimmed(text.substr(start, end - start));
        if (line.empty())
            continue;
        if (isInformationLine(line)) {
            builder.expect(line);
            m_pending = line;
            m_hasPending = true;
            m_metInformation = true;
            continue;
        }
        if (line.front() == '#')
            continue;
        if (!m_hasPending) {
            // A chunk read apart may open with the address line of an information line the chunk before it
            // left waiting.
            if (!m_metInformation && !m_firstAddress && builder.address(line, m_scratch))
                m_firstAddress.emplace(line);
            continue;
        }
        if (const auto address = builder.address(line, m_scratch)) {
            builder.add(m_pending, line, *address);
            m_hasPending = false;
        }
    }
    // The information line may wait for an address line in later text: it is kept, as this text goes.
    if (m_hasPending && m_pending.data() != m_keptPending.data()) {
        m_keptPending.assign(m_pending);
        m_pending = m_keptPending;
        builder.expect(m_pending);
    }
}

} // namespace sendra::playlist
