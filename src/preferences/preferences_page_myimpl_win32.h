// The component's page in the host's preferences tree: "Chirpline", under the
// host's tools page, opening the settings dialog.
#pragma once
#include "preferences/my_preferences_win32.h"
#include "preferences/preferences_page_impl.h"

// {439C0C97-84BE-4E39-9685-55B4CC69478B}
inline constexpr guid preferences_page_myimpl_guid = {
    0x439C0C97, 0x84BE, 0x4E39, {0x96, 0x85, 0x55, 0xB4, 0xCC, 0x69, 0x47, 0x8B}};
// {6AAA67B6-732F-4967-899A-18C5F8C70017}
inline constexpr guid preferences_page_myimpl_parent_guid = {
    0x6AAA67B6, 0x732F, 0x4967, {0x89, 0x9A, 0x18, 0xC5, 0xF8, 0xC7, 0x00, 0x17}};

class preferences_page_myimpl : public preferences_page_impl<CMyPreferences> {
public:
  const char* display_name() override { return "Chirpline"; }
  guid page_guid() override { return preferences_page_myimpl_guid; }
  guid parent_guid() override { return preferences_page_myimpl_parent_guid; }

protected:
  ~preferences_page_myimpl() = default;
};
