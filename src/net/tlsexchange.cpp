#include "net/tlsexchange.h"

#include <vector>

#include <QSocketNotifier>

namespace {

// After the first piece of a reply only what has already arrived is read and
// thrown away, and no more than this: a host streaming a huge body must not
// keep the program reading.
constexpr int kMaxDrainBytes = 64 * 1024;

} // namespace

CTlsExchange::CTlsExchange(TlsExchangeListener &listener, const TlsClient::Context &context,
                           int socket, const QByteArray &host, QByteArray request,
                           int replyCapacity, ReplyTest replyComplete)
    : m_listener(listener), m_nSocket(socket), m_tls(context, socket, host),
      m_request(std::move(request)), m_nReplyCapacity(replyCapacity), m_replyComplete(replyComplete)
{}

CTlsExchange::~CTlsExchange()
{
    // The notifier goes before the session and the socket it watches.
    m_notifier.reset();
}

void CTlsExchange::Start()
{
    // The first step waits for the socket to take the client's hello, so that
    // the listener is never called back from inside Start.
    Await(TlsClient::Wait::Write);
}

void CTlsExchange::Await(TlsClient::Wait wait)
{
    const auto type =
        wait == TlsClient::Wait::Write ? QSocketNotifier::Write : QSocketNotifier::Read;
    if (!m_notifier || m_notifier->type() != type) {
        m_notifier = std::make_unique<QSocketNotifier>(m_nSocket, type);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
            m_notifier->setEnabled(false);
            Step();
        });
    }
    m_notifier->setEnabled(true);
}

void CTlsExchange::Step()
{
    if (m_stage == Stage::Handshake) {
        const TlsClient::Outcome outcome = m_tls.Handshake();
        if (outcome == TlsClient::Outcome::Pending) {
            Await(m_tls.Wants());
            return;
        }
        if (outcome != TlsClient::Outcome::Done) {
            m_stage = Stage::Over;
            m_listener.OnTlsFailed(outcome);
            return;
        }
        m_stage = Stage::Writing;
    }
    while (m_stage == Stage::Writing) {
        const int written = m_tls.Write(m_request.constData() + m_nSent,
                                        static_cast<int>(m_request.size() - m_nSent));
        if (written == TlsClient::kWouldBlock) {
            Await(m_tls.Wants());
            return;
        }
        if (written == TlsClient::kFailed) {
            m_stage = Stage::Over;
            m_listener.OnTlsClosed();
            return;
        }
        m_nSent += written;
        if (m_nSent == m_request.size()) {
            m_stage = Stage::Reading;
            m_listener.OnTlsRequestSent();
        }
    }
    if (m_stage != Stage::Reading)
        return;
    // A server may send its reply in records of a few bytes each: the reply
    // is read on until it is complete, the server closes or the session breaks.
    std::vector<char> piece(static_cast<std::size_t>(m_nReplyCapacity));
    while (m_reply.size() < m_nReplyCapacity &&
           !m_replyComplete(m_reply.constData(), static_cast<int>(m_reply.size()))) {
        const int got =
            m_tls.Read(piece.data(), m_nReplyCapacity - static_cast<int>(m_reply.size()));
        if (got == TlsClient::kWouldBlock) {
            Await(m_tls.Wants());
            return;
        }
        if (got <= 0)
            break;
        m_reply.append(piece.data(), got);
    }
    m_stage = Stage::Over;
    if (m_reply.isEmpty()) {
        m_listener.OnTlsClosed();
        return;
    }
    char scratch[512];
    for (int drained = 0; drained < kMaxDrainBytes;) {
        const int more = m_tls.Read(scratch, sizeof scratch);
        if (more <= 0)
            break;
        drained += more;
    }
    // The listener may destroy this exchange, and the reply with it.
    const QByteArray reply = m_reply;
    m_listener.OnTlsReply(reply.constData(), static_cast<int>(reply.size()));
}
