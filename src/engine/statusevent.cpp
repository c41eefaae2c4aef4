#include "statusevent.h"

StatusTexts TextsOf(const StatusEvent &event)
{
    const QString host = QString::fromUtf8(event.host);
    using Kind = StatusEvent::Kind;
    switch (event.kind) {
    case Kind::Connecting:
        return {true, {{1, QStringLiteral("Connecting to %1").arg(host)}, {2, QString()}}};
    case Kind::ConnectWaitOver:
        return {false, {}};
    case Kind::Connected:
        return {std::nullopt, {{1, QStringLiteral("Connected to %1").arg(host)}}};
    case Kind::RequestSent:
        return {std::nullopt, {{2, QStringLiteral("GET method sent to host")}}};
    case Kind::NothingSent:
        return {std::nullopt, {{2, QString()}}};
    case Kind::ReplyArriving:
        return {std::nullopt, {{2, QStringLiteral("Host Reply Received")}}};
    case Kind::ConnectionClosed:
        return {std::nullopt, {{1, QStringLiteral("No connection")}}};
    case Kind::ClosedByHost:
        return {std::nullopt, {{1, QStringLiteral("Connection Closed by Host")}}};
    case Kind::SearchComplete:
        return {std::nullopt, {{1, QStringLiteral("Search Complete")}, {2, QString()}}};
    case Kind::PanesReset:
        return {
            std::nullopt,
            {{1, QStringLiteral("Connection Status")}, {2, QStringLiteral("HTTP Method Status")}}};
    }
    return {};
}
