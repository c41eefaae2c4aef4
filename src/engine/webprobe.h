#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>

#include "engine/modernurl.h"
#include "net/webtransfer.h"

class AsyncResolver;
class ProbeDisplay;
class ReplyListener;
struct ProbeMode;

// Probes an http or https link of today's web mode through the engine's
// libcurl multi handle, so that the links of one host share its kept
// connections and TLS sessions. Names are looked up by the engine's resolver,
// unless a proxy may stand between: then the proxy, or libcurl, looks them up.
// Tells its display how it goes on and its listener how it ended, as the
// socket probe does.
class CWebProbe final : private WebTransferListener
{
public:
    CWebProbe(ProbeDisplay &ui, ReplyListener &listener, AsyncResolver &resolver, ProbeMode &mode);
    ~CWebProbe() override;

    CWebProbe(const CWebProbe &) = delete;
    CWebProbe &operator=(const CWebProbe &) = delete;

    // Starts the probe of url on port: 0 while it runs, else the failure code
    // that showed at once (the probe is then closed and shown closed).
    // A fragment is checked against the page when the mode asks for it.
    int Start(const ModernUrl &url, const QByteArray &port, const QByteArray &fragment = {});
    // Ends the lookup or the transfer in flight; shows the connection closed
    // when show is set and the probe was open.
    void Close(bool show);
    bool IsOpen() const { return m_bOpen; }

    std::optional<std::uint32_t> ReplyCode() const { return m_replyCode; }
    const std::vector<std::pair<QByteArray, QByteArray>> &ReplyHeaders() const
    {
        return m_transfer.Reply().headers;
    }
    // The status line has come: a time-out from now on still has a reply.
    bool HasStatus() const { return m_transfer.Reply().statusCode > 0; }
    std::optional<std::uint32_t> StatusSoFar() const;

private:
    void OnLookupDone(int result, const QByteArray &address);
    // Starts the transfer; false when libcurl refused it.
    bool Send(const QByteArray &connectAddress);
    // The probe ends before any request went out: at once (the code is
    // returned, the probe shown closed), or later (the listener is told).
    int FailAtOnce(int code);
    void Fail(std::uint32_t code);
    void OnWebRequestSent() override;
    void OnWebReplyArriving() override;
    void OnWebDone(const WebReply &reply) override;
    // The page was read for a fragment that it does not hold.
    bool FragmentMissing(const WebReply &reply) const;
    void EndWaitCursor();

    ProbeDisplay &m_ui;
    ReplyListener &m_listener;
    AsyncResolver &m_resolver;
    ProbeMode &m_mode;
    WebTransfer m_transfer;
    ModernUrl m_url;
    QByteArray m_port;
    // The fragment to find in the page; empty: none is checked.
    QByteArray m_fragment;
    std::uint64_t m_lookupId = 0;
    bool m_bOpen = false;
    bool m_bWaitCursor = false;
    std::optional<std::uint32_t> m_replyCode;
};

// The outcome code of a transfer that has ended without a status line: a
// failure code, 10001 to 10009; 0 when the host replied without one.
std::uint32_t WebFailureCode(const WebReply &reply);
