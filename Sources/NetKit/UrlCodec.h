#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

namespace netkit {

using QueryItem = std::pair<QString, QString>;

// Every character but the unreserved ones (letters, digits, "-", ".", "_", "~") percent-encoded: "+", "&", "=",
// "#" and "%" in a password reach a PHP server as themselves.
QByteArray encodeQueryComponent(const QString& value);

// "k1=v1&k2=v2" with keys and values encoded by encodeQueryComponent, in the given order.
QByteArray encodeQuery(const QList<QueryItem>& items);

// `url` with its query replaced by `items` (none: no query at all).
QUrl withQuery(QUrl url, const QList<QueryItem>& items);

// One path segment, "/" included, encoded so it stays one segment. Empty, "." and ".." have no safe encoding
// (the server or a proxy would collapse them): nothing.
std::optional<QByteArray> encodePathSegment(const QString& segment);

// `base` with `relativePath` (already encoded, segments separated by "/") appended to its path; query and fragment
// dropped. "https://h" + "api/x" -> "https://h/api/x"; "https://h/p" + "api/x" -> "https://h/p/api/x".
QUrl appendingPath(const QUrl& base, const QByteArray& relativePath);

// The schemes media is streamed over from a server: http, https, rtmp, rtmps, rtsp, rtp, udp, mms and mmsh, in
// lower case (as QUrl gives them). A playlist from the network may name no other (no "file:", no "javascript:").
bool isNetworkStreamScheme(QStringView scheme);

} // namespace netkit
