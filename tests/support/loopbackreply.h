#pragma once

#include <chrono>

#include <QByteArray>

// How the loopback test server answers one connection.
struct LoopbackReply
{
    enum class Kind
    {
        Status,      // status line, a few headers and the body, then an orderly close
        Silent,      // read the request and never answer, until the client goes or the server stops
        CloseAtOnce, // end the stream (FIN) without sending a byte
        Reset,       // abort the connection (RST) without sending a byte
        SplitStatus, // like Status, but the status line goes out in two pieces with a pause
        HugeBody,    // status line and headers, then body bytes without end until the client goes
        Raw,         // exactly the bytes of body (garbage, a bare line, ...), then an orderly close
        FtpGreeting, // "220 " and the body text on accept, then wait for the client to go
        Delayed,     // like Status, but only after a pause once the request is complete
        KeptAlive,   // like Status for every request on the connection, until the client goes
    };

    Kind kind = Kind::Status;
    QByteArray statusLine = "HTTP/1.0 200 OK";
    QByteArray body = "<html><body>Vantrel test page</body></html>\n";
    // The pause between the two pieces of a split status line, or before a
    // delayed answer.
    std::chrono::milliseconds pause{200};

    static LoopbackReply Status(const QByteArray &statusLine, const QByteArray &body = {})
    {
        LoopbackReply reply;
        reply.statusLine = statusLine;
        if (!body.isNull())
            reply.body = body;
        return reply;
    }
    static LoopbackReply Split(const QByteArray &statusLine, std::chrono::milliseconds pause)
    {
        LoopbackReply reply = Status(statusLine);
        reply.kind = Kind::SplitStatus;
        reply.pause = pause;
        return reply;
    }
    // A server far away, or a slow one: the answer comes after the pause.
    static LoopbackReply Delayed(const QByteArray &statusLine, std::chrono::milliseconds pause)
    {
        LoopbackReply reply = Status(statusLine);
        reply.kind = Kind::Delayed;
        reply.pause = pause;
        return reply;
    }
    // An HTTP/1.1 server that keeps its connections open between requests.
    static LoopbackReply KeptAlive(const QByteArray &statusLine = "HTTP/1.1 200 OK")
    {
        LoopbackReply reply = Status(statusLine);
        reply.kind = Kind::KeptAlive;
        return reply;
    }
    static LoopbackReply RawBytes(const QByteArray &bytes)
    {
        LoopbackReply reply;
        reply.kind = Kind::Raw;
        reply.body = bytes;
        return reply;
    }
    // Binary noise with zero bytes and no line break: no status line to find.
    static LoopbackReply Garbage()
    {
        QByteArray bytes;
        for (int i = 0; i < 600; ++i) {
            const char c = static_cast<char>((i * 37 + 11) % 256);
            bytes.append(c == '\n' ? '\0' : c);
        }
        return RawBytes(bytes);
    }
    static LoopbackReply Ftp(const QByteArray &greeting = "Vantrel test FTP service ready")
    {
        LoopbackReply reply;
        reply.kind = Kind::FtpGreeting;
        reply.body = greeting;
        return reply;
    }
    static LoopbackReply Of(Kind kind)
    {
        LoopbackReply reply;
        reply.kind = kind;
        return reply;
    }
};
