#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>

#include "records/linkrecord.h"

struct ProbeOutcome;

// The redirects one link's probe follows in today's web mode. Each hop is a
// probe of its own, of the address that the hop before named in its
// Location field; the chain ends at the first outcome that is no redirect,
// at a loop, or when a hop asks for more than kMaxHops redirects.
class CRedirectChain
{
public:
    static constexpr int kMaxHops = 10;

    enum class Step
    {
        End,
        Follow,
        TooMany
    };

    // Takes the outcome of the probe of address (the link itself first, then
    // each hop in turn). Follow sets next to the address to probe now.
    Step Take(const QByteArray &address, const ProbeOutcome &outcome, QByteArray *next);

    bool Followed() const { return !m_hops.empty(); }

    // Writes the chain into the record of the link whose last hop has just
    // been classified into link.category: the category becomes the final
    // failure, or the first redirect's code when the chain ended in success,
    // or "Too Many Redirects".
    void Describe(LinkRecord &link) const;

private:
    std::vector<Redirect> m_hops;
    QByteArray m_start;
    std::optional<std::uint32_t> m_firstCode;
    bool m_tooMany = false;
};

// The Location of a redirect reply resolved against the address that gave
// it, or nothing when the reply is no redirect to an http or https address.
// A Location without a fragment keeps that of the address.
std::optional<QByteArray> RedirectTarget(const QByteArray &address, const ProbeOutcome &outcome);
