#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/SessionTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QUuid>

#include <optional>

// The stored JSON forms of the records the vault keeps. Dates are seconds since 2001-01-01 00:00:00 UTC,
// UUIDs upper-case text, addresses absolute text; an absent optional is left out and a missing key or null
// reads as absent; every other field is required. Lists are read record by record: a record that does not read
// (damaged on disk, or written by an earlier build in a form since refused) is left out and the others are
// kept, so the next write of the list keeps every readable record. An artwork text that is not an absolute
// address (earlier builds wrote relative ones) reads as no artwork rather than losing its record.
//
//     QByteArray bytes = sendra::encodeList(markers);
//     std::optional<QList<ResumeMarker>> back = sendra::decodeList<ResumeMarker>(bytes);

namespace sendra {

QJsonObject toJson(const MediaNode& node);
QJsonObject toJson(const ResumeMarker& marker); // fraction clamped to 0...1, non-finite written as 0
QJsonObject toJson(const ViewerIdentity& identity);
QJsonObject toJson(const SourceDraft& draft);
QJsonObject toJson(const ProviderSession& session);

template <class T>
std::optional<T> fromJson(const QJsonValue& value);
template <> std::optional<MediaNode> fromJson<MediaNode>(const QJsonValue& value);
template <> std::optional<ResumeMarker> fromJson<ResumeMarker>(const QJsonValue& value);
template <> std::optional<ViewerIdentity> fromJson<ViewerIdentity>(const QJsonValue& value);
template <> std::optional<SourceDraft> fromJson<SourceDraft>(const QJsonValue& value);
template <> std::optional<ProviderSession> fromJson<ProviderSession>(const QJsonValue& value);

// A record that would not read back (an address the stored form refuses, say) is left out of the list: one such
// record must never make the whole list unreadable at the next start.
template <class T>
QJsonArray toJsonArray(const QList<T>& records)
{
    QJsonArray array;
    for (const T& record : records) {
        QJsonObject object = toJson(record);
        if (fromJson<T>(QJsonValue(object)))
            array.append(std::move(object));
    }
    return array;
}

// None only when the value is not a list at all.
template <class T>
std::optional<QList<T>> listFromJson(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<T> records;
    records.reserve(array.size());
    for (const QJsonValue& element : array) {
        if (std::optional<T> record = fromJson<T>(element))
            records.append(std::move(*record));
    }
    return records;
}

// Whole documents, as the vault stores them (compact UTF-8 JSON text).
template <class T>
QByteArray encodeRecord(const T& record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact);
}

template <class T>
QByteArray encodeList(const QList<T>& records)
{
    return QJsonDocument(toJsonArray(records)).toJson(QJsonDocument::Compact);
}

std::optional<QJsonValue> parseJsonDocument(const QByteArray& bytes);
// A stored list: the whole document when it parses; otherwise, when it is a list damaged inside (a record
// cut short or garbled on disk), the elements that still parse on their own, in order.
std::optional<QJsonValue> parseJsonList(const QByteArray& bytes);

template <class T>
std::optional<T> decodeRecord(const QByteArray& bytes)
{
    const std::optional<QJsonValue> value = parseJsonDocument(bytes);
    return value ? fromJson<T>(*value) : std::nullopt;
}

template <class T>
std::optional<QList<T>> decodeList(const QByteArray& bytes)
{
    const std::optional<QJsonValue> value = parseJsonList(bytes);
    return value ? listFromJson<T>(*value) : std::nullopt;
}

// Building blocks shared with other stored forms.
inline constexpr qint64 referenceDateOffsetSeconds = 978307200; // 2001-01-01 00:00:00 UTC in Unix time
double referenceSeconds(const QDateTime& date);
std::optional<QDateTime> dateFromReferenceSeconds(double seconds);
QString uuidText(const QUuid& id); // 36 characters, upper case
std::optional<QUuid> uuidFromText(const QString& text);
QString addressText(const QUrl& address);
std::optional<QUrl> addressFromText(const QString& text); // absolute addresses only
double clampedFraction(double fraction); // 0...1; NaN gives 0

} // namespace sendra
