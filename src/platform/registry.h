#pragma once
// to be written: the registry stand-in (RegRoot, RegKey, RegDisposition, ...)
