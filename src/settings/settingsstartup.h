#pragma once

#include <memory>

#include <QByteArray>

class CRegSettings;

inline constexpr char kApplicationName[] = "Vantrel";
inline constexpr char kProgramKeyPath[] = "Software\\Kestrine Software\\Vantrel";

// The application object's first step at start-up, shared by both front ends:
// create the store, open the program key, and import Vantrel.INI from the
// system directory when the key did not exist before; a new store without
// one starts with "TodaysWeb" on.
std::unique_ptr<CRegSettings> StartSettingsStore();
