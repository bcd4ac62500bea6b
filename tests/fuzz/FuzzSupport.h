#pragma once

// Shared by the fuzz targets: the input as bytes, a selector byte, and the errors a reader may end with on bad
// input (anything else escaping a reader is a finding).
#include "Domain/CommandError.h"
#include "NetKit/LenientJson.h"
#include "OrrinthCore/CoreErrors.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

struct Input
{
    std::uint8_t selector = 0;
    QByteArrayView body;

    Input(const std::uint8_t* data, std::size_t size)
    {
        if (size > 0) {
            selector = data[0];
            body = QByteArrayView(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
        }
    }
};

// Runs `read`; the clear errors of bad input are expected and swallowed.
template <class Read>
void expectingRefusals(Read read)
{
    try {
        read();
    } catch (const sendra::CommandFailure&) {
    } catch (const netkit::JsonError&) {
    } catch (const orrinth::DecodingError&) {
    } catch (const orrinth::PanelFailure&) {
    } catch (const orrinth::CredentialFailure&) {
    }
}

// A broken property: libFuzzer reports it with the input that led there.
inline void require(bool holds, const char* property)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz: broken property: %s\n", property);
        std::abort();
    }
}

} // namespace fuzz
