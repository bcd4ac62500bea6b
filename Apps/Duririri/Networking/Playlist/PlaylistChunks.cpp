#include "Networking/Playlist/PlaylistChunks.h"

#include "Domain/CommandError.h"
#include "Networking/Playlist/LineReader.h"
#include "NetKit/Workers.h"

#include <simdjson.h>

namespace sendra::playlist {

std::string PlaylistChunks::spareText(std::size_t bytes)
{
    std::string text;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_spare.empty()) {
            text = std::move(m_spare.back());
            m_spare.pop_back();
        }
    }
    text.reserve(bytes);
    return text;
}

std::shared_ptr<PlaylistChunk> PlaylistChunks::add(std::string text)
{
    auto chunk = std::make_shared<PlaylistChunk>();
    chunk->text = std::move(text);
    chunk->opening = m_list.empty();
    m_list.push_back(chunk);
    return chunk;
}

std::vector<std::shared_ptr<PlaylistChunk>> PlaylistChunks::takeFinished()
{
    std::size_t end = m_takenFinished;
    {
        const std::lock_guard lock(m_mutex);
        while (end < m_list.size() && m_list[end]->m_finished)
            ++end;
    }
    std::vector<std::shared_ptr<PlaylistChunk>> finished(m_list.begin() + std::ptrdiff_t(m_takenFinished),
                                                         m_list.begin() + std::ptrdiff_t(end));
    m_takenFinished = end;
    return finished;
}

void PlaylistChunks::readRest()
{
    for (const auto& chunk : m_list)
        readIfUnclaimed(*chunk);
    std::unique_lock lock(m_mutex);
    m_finishedOne.wait(lock, [this] { return m_finishedCount == m_list.size(); });
}

void PlaylistChunks::release()
{
    {
        const std::lock_guard lock(m_mutex);
        m_spare.clear();
    }
    // Tens of thousands of groups made are given back on a worker: the entries need not wait for it.
    if (m_made)
        (void)netkit::backgroundPool().start([made = std::shared_ptr<MadeGroups>(std::move(m_made))] {});
}

void PlaylistChunks::rethrowFailure()
{
    const std::lock_guard lock(m_mutex);
    if (m_firstFailure)
        std::rethrow_exception(m_firstFailure);
}

void PlaylistChunks::readIfUnclaimed(PlaylistChunk& chunk)
{
    if (!chunk.m_claimed.exchange(true))
        read(chunk);
}

void PlaylistChunks::read(PlaylistChunk& chunk)
{
    std::exception_ptr failure;
    if (!m_abandoned) {
        try {
            if (m_utf8 == Utf8Check::strict && !simdjson::validate_utf8(chunk.text.data(), chunk.text.size()))
                throw CommandFailure(CommandError::invalidResponse);
            LineReader lines(m_origin, &m_abandoned, Grouping::titlesOnly);
            lines.builder.groups().shareMaking(m_made.get());
            lines.read(chunk.text, chunk.opening ? TextStart::playlist : TextStart::midway, qint64(chunk.text.size()));
            chunk.nodes = lines.finish();
            chunk.groups = std::move(lines.builder.groups());
            chunk.metInformation = lines.metInformation();
            chunk.firstAddress = std::move(lines.firstAddress());
            chunk.waiting = lines.waiting();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    std::string text = std::move(chunk.text);
    chunk.text = {};
    text.clear();
    {
        const std::lock_guard lock(m_mutex);
        if (m_spare.size() < 4)
            m_spare.push_back(std::move(text));
        chunk.m_finished = true;
        if (failure) {
            chunk.failure = failure;
            if (!m_firstFailure)
                m_firstFailure = failure;
            m_failed = true;
        }
        ++m_finishedCount;
    }
    m_finishedOne.notify_all();
}

} // namespace sendra::playlist
