// Helpers of the settings sheet's tests: the Settings command run with a callback on
// the shown sheet, its pages found by class, typing as a user types, status texts as a
// report shows them, and the machine's profile prepared as setup leaves it.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

#include "client_test_support.h"
#include "framework/property_sheet.h"
#include "pellam.h"

namespace pelldesk::test {

// A sandbox with the client started in it, its message boxes answered OK unless a test
// queues other answers.
class SettingsFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app_.InitInstance()); }

  ClientSandbox sandbox_;
  MessageBoxRecorder boxes_;
  TestApp app_;
};

// The library's text of `status` without its final line break.
std::string StatusText(uint32_t status);

// Runs the Settings command; `act` runs on the shown sheet, then OK is clicked (or
// Cancel when `confirm` is false). Returns true when the sheet closed through OK; an
// OK refused by a page closes it with Cancel, so that the test goes on.
bool RunSettingsSheet(CMailApp& app, const std::function<void(fw::PropertySheet&)>& act,
                      bool confirm = true);

// The sheet's page of class `Page` (the pages carry no meta-object of their own).
template <typename Page>
Page* FindPage(fw::PropertySheet& sheet) {
  for (QWidget* child : sheet.findChildren<QWidget*>()) {
    if (auto* page = dynamic_cast<Page*>(child)) return page;
  }
  return nullptr;
}

// Makes the page at `index` the active one, as a click on its tab does.
void ShowPage(fw::PropertySheet& sheet, int index);
int ActiveIndex(fw::PropertySheet& sheet);

// Key presses for every character of `text` ("\n" is the Enter key, "\b" Backspace),
// at the field's caret (which a shown text leaves at its start).
void Type(QWidget* widget, const std::string& text);
// Selects everything in a text field and deletes it, as a user clears one.
void ClearField(QWidget* widget);

// Stores the machine's profile: queue and temporary directories, gateway, error file.
void StoreSystemProfile(const char* queue, const char* temp, const char* gateway,
                        const char* errorFile);

// The Qt text of a widget's object, as the page shows it.
std::string Text(const QString& text);

}  // namespace pelldesk::test
