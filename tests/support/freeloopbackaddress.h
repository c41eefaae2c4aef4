#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QList>

#include "support/loopbackfd.h"
#include "support/loopbackserver.h"

// Tests that need the web's own ports (80, 21) cannot choose an ephemeral
// port, and anything else on the machine may hold one address's port. These
// look through 127.0.0.2 to 127.0.0.254 for an address where the port is
// free, passing over the addresses already taken by the test.

// A server on the first such address; null (with the reason in why) when
// there is none, for example without the right to bind a port below 1024.
inline std::unique_ptr<LoopbackServer> ServeOnFreeLoopbackAddress(const LoopbackReply &reply,
                                                                  std::uint16_t port,
                                                                  QList<QByteArray> *taken,
                                                                  QByteArray *why)
{
    for (int host = 2; host < 255; ++host) {
        const QByteArray address = "127.0.0." + QByteArray::number(host);
        if (taken->contains(address))
            continue;
        auto server = std::make_unique<LoopbackServer>(reply, address, port);
        if (server->isListening()) {
            taken->append(address);
            return server;
        }
        *why = server->errorText();
    }
    return nullptr;
}

// An address on which nothing listens at port, so that a connect there is
// refused; empty when there is none.
inline QByteArray LoopbackAddressWithClosedPort(std::uint16_t port, QList<QByteArray> *taken)
{
    for (int host = 2; host < 255; ++host) {
        const QByteArray address = "127.0.0." + QByteArray::number(host);
        if (!taken->contains(address) &&
            BindLoopbackSocket(address, port, false, nullptr).isValid()) {
            taken->append(address);
            return address;
        }
    }
    return {};
}
