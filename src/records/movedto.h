#pragma once

#include "records/linkrecord.h"

// The result of the address a moved link's redirects end at: the category of
// its reply, or the link's own category when it gave none (the chain ended
// in a failure such as a time-out). Only for a link with redirects.
ResultCategory MovedToResult(const LinkRecord &link);

// The link moved for good: every redirect of its chain is permanent (301,
// 308) and the address it ends at works. A record read back from a report
// knows only the first code and where the chain ends.
bool MovedForGood(const LinkRecord &link);

// Where a moved link's redirects led and what that address gave, as the
// report's "*Moved to: " line tells it: "ADDRESS (RESULT)"; empty for a link
// without redirects.
QByteArray MovedToText(const LinkRecord &link);
