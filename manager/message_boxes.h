// The manager's message boxes. With the test hooks on, every box is also
// written to the hooks' message file and to standard error, and answers its
// default button by itself after a moment, so a program under test never
// waits for a hand.
#pragma once

#include <string>

class QWidget;

namespace qlm::manager {

class CMessageBoxes {
 public:
  explicit CMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

  void Error(const std::string& text, const std::string& title) const;
  void Information(const std::string& text, const std::string& title) const;
  // Yes/No with the question icon; true for Yes.
  bool AskYesNo(const std::string& text, const std::string& title) const;

 private:
  int Show(int icon, const std::string& text, const std::string& title, bool question) const;

  QWidget* parent_;
};

}  // namespace qlm::manager
