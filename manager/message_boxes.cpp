// Message boxes, and their automatic answer under the test hooks.
#include "manager/message_boxes.h"

#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "manager/manager_trace.h"
#include "manager/test_hooks.h"

namespace qlm::manager {

namespace {

// How long a box stays up under the test hooks (long enough for a screenshot).
constexpr int kHookAnswerMs = 3000;

}  // namespace

int CMessageBoxes::Show(int icon, const std::string& text, const std::string& title,
                        bool question) const {
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), QString::fromStdString(title),
                  QString::fromStdString(text),
                  question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, parent_);
  box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
  Trace("Message box: " + text);
  CTestHooks* hooks = CTestHooks::Instance();
  if (hooks != nullptr) {
    hooks->AppendMessage(text);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    const int answer = question ? QMessageBox::Yes : QMessageBox::Ok;
    QTimer::singleShot(kHookAnswerMs, &box, [&box, answer] { box.done(answer); });
  }
  return box.exec();
}

void CMessageBoxes::Error(const std::string& text, const std::string& title) const {
  Show(QMessageBox::Critical, text, title, false);
}

void CMessageBoxes::Information(const std::string& text, const std::string& title) const {
  Show(QMessageBox::Information, text, title, false);
}

bool CMessageBoxes::AskYesNo(const std::string& text, const std::string& title) const {
  return Show(QMessageBox::Question, text, title, true) == QMessageBox::Yes;
}

}  // namespace qlm::manager
