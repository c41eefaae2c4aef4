#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>

#include "net/tlsclient.h"

class QSocketNotifier;

// Told how an exchange goes on. Each call may destroy the exchange.
class TlsExchangeListener
{
public:
    virtual ~TlsExchangeListener() = default;
    // The handshake failed or the certificate was refused: nothing was sent.
    virtual void OnTlsFailed(TlsClient::Outcome outcome) = 0;
    // The whole request has been written. The exchange is never destroyed
    // from inside this call.
    virtual void OnTlsRequestSent() = 0;
    // The start of the reply: as far as the owner's test calls it complete,
    // or the capacity asked for, or what came before the server closed.
    virtual void OnTlsReply(const char *data, int length) = 0;
    // The server closed or the session broke after the handshake, with no reply.
    virtual void OnTlsClosed() = 0;
};

// One https request over a connected, non-blocking socket, driven from the
// event loop: the handshake with its verification, then the request, then the
// start of the reply, read over as many records as it takes until it is
// complete, what arrived with it thrown away. The socket is
// watched by this object alone while it lives (its owner must not watch it
// for reading), and is never closed by it: to abandon, destroy the exchange
// first, then close the socket.
class CTlsExchange
{
public:
    // Whether the reply read so far is all that is wanted of it.
    using ReplyTest = bool (*)(const char *data, int length);

    CTlsExchange(TlsExchangeListener &listener, const TlsClient::Context &context, int socket,
                 const QByteArray &host, QByteArray request, int replyCapacity,
                 ReplyTest replyComplete);
    ~CTlsExchange();

    CTlsExchange(const CTlsExchange &) = delete;
    CTlsExchange &operator=(const CTlsExchange &) = delete;

    // Starts the handshake; its outcomes reach the listener from the event
    // loop, never from inside this call.
    void Start();

private:
    enum class Stage
    {
        Handshake,
        Writing,
        Reading,
        Over
    };

    // Takes the exchange as far as the socket allows.
    void Step();
    // Waits for the socket as the session wants, then steps again.
    void Await(TlsClient::Wait wait);

    TlsExchangeListener &m_listener;
    int m_nSocket;
    TlsClient m_tls;
    QByteArray m_request;
    qsizetype m_nSent = 0;
    int m_nReplyCapacity;
    ReplyTest m_replyComplete;
    QByteArray m_reply;
    Stage m_stage = Stage::Handshake;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
