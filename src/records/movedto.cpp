#include "movedto.h"

namespace {

bool IsPermanent(int code)
{
    return code == 301 || code == 308;
}

} // namespace

ResultCategory MovedToResult(const LinkRecord &link)
{
    const int code = link.redirects.back().code;
    return code > 0 ? CategoryOfReply(static_cast<std::uint32_t>(code), true) : link.category;
}

bool MovedForGood(const LinkRecord &link)
{
    if (link.redirects.empty() || !link.code || !IsPermanent(*link.code))
        return false;
    const ResultCategory result = MovedToResult(link);
    if (!IsOk(result) || result == ResultCategory::FtpAnswered)
        return false;
    for (std::size_t i = 0; i + 1 < link.redirects.size(); ++i) {
        if (!IsPermanent(link.redirects[i].code))
            return false;
    }
    return true;
}

QByteArray MovedToText(const LinkRecord &link)
{
    if (link.redirects.empty())
        return {};
    return link.redirects.back().url + " (" + CategoryText(MovedToResult(link)) + ')';
}
