#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QUrl>

namespace sendra {

// An address kept as the fully encoded text QUrl gives for it. A catalogue holds hundreds of thousands of addresses:
// as text each takes a third of a QUrl's memory and costs no parsing, and a QUrl is made only where an address is
// used (playback, artwork loading, the stored form). Converts to and from QUrl, so it reads like one.
class AddressText
{
public:
    AddressText() = default;
    // The fully encoded text of `url` (QUrl::toEncoded()).
    AddressText(const QUrl& url)
        : m_text(url.toEncoded())
    {
    }

    // A text the caller knows QUrl keeps exactly as written (see netkit::AddressReader::keepsAsWritten).
    static AddressText fromEncoded(QByteArray text)
    {
        AddressText address;
        address.m_text = std::move(text);
        return address;
    }

    QUrl url() const { return QUrl::fromEncoded(m_text); }
    operator QUrl() const { return url(); }

    // The fully encoded text, as bytes and as text.
    const QByteArray& encoded() const { return m_text; }
    QString text() const { return QString::fromLatin1(m_text); }
    // What QUrl::toString() gives (percent escapes of readable characters decoded), as for a QUrl.
    QString toString() const { return url().toString(); }
    bool isEmpty() const { return m_text.isEmpty(); }

    friend bool operator==(const AddressText& a, const AddressText& b) { return a.m_text == b.m_text; }
    friend bool operator==(const AddressText& a, const QUrl& b) { return a.m_text == b.toEncoded(); }

private:
    QByteArray m_text;
};

inline size_t qHash(const AddressText& address, size_t seed = 0) noexcept
{
    return qHash(address.encoded(), seed);
}

} // namespace sendra
