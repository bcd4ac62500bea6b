#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <utility>

namespace orrinth {

// One episode of a series, identified by its id.
class EpisodeDetails
{
public:
    EpisodeDetails(QString id, QString title, qint64 number, QUrl url)
        : m_id(std::move(id)), m_title(std::move(title)), m_number(number), m_url(std::move(url))
    {
    }

    const QString &id() const { return m_id; }
    const QString &title() const { return m_title; }
    qint64 number() const { return m_number; }
    // The episode's stream address.
    const QUrl &url() const { return m_url; }

private:
    QString m_id;
    QString m_title;
    qint64 m_number;
    QUrl m_url;
};

// A season is identified by its number: two seasons with the same number are the same season.
class SeasonDetails
{
public:
    SeasonDetails(qint64 number, QList<EpisodeDetails> episodes)
        : m_number(number), m_episodes(std::move(episodes))
    {
    }

    qint64 id() const { return m_number; }
    qint64 number() const { return m_number; }
    const QList<EpisodeDetails> &episodes() const { return m_episodes; }

private:
    qint64 m_number;
    QList<EpisodeDetails> m_episodes;
};

// The details of a film (no seasons) or a series.
class ContentDetails
{
public:
    ContentDetails(QString synopsis, QString genre, QString year, QList<SeasonDetails> seasons)
        : m_synopsis(std::move(synopsis)), m_genre(std::move(genre)), m_year(std::move(year))
        , m_seasons(std::move(seasons))
    {
    }

    const QString &synopsis() const { return m_synopsis; }
    const QString &genre() const { return m_genre; }
    // Year or release date, as the source gives it.
    const QString &year() const { return m_year; }
    const QList<SeasonDetails> &seasons() const { return m_seasons; }

private:
    QString m_synopsis;
    QString m_genre;
    QString m_year;
    QList<SeasonDetails> m_seasons;
};

} // namespace orrinth
