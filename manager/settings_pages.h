// The settings parts of the Activity and Logging pages, above the activity
// tree and the log list: "Activity Enable:" with the connection limit, and
// "Log Enable" with the file name and the line limit.
#pragma once

#include <QWidget>

#include "manager/settings_document.h"

class QCheckBox;
class QLineEdit;

namespace qlm::manager {

class CActivitySettingsBox : public QWidget {
  Q_OBJECT

 public:
  CActivitySettingsBox(CSettingsDocument* document, QWidget* parent = nullptr);
  void LoadFromDocument();
  // The field limit (0 to 2000) with its message; false when refused.
  bool TakeValues();
  QLineEdit* MaxConnections() const { return max_connections_; }

 private:
  CSettingsDocument* document_;
  QCheckBox* enable_;
  QLineEdit* max_connections_;
};

class CLogSettingsBox : public QWidget {
  Q_OBJECT

 public:
  CLogSettingsBox(CSettingsDocument* document, QWidget* parent = nullptr);
  void LoadFromDocument();
  // The field limit (0 to 50000) with its message; false when refused.
  bool TakeValues();
  QLineEdit* MaxLines() const { return max_lines_; }

 private:
  CSettingsDocument* document_;
  QCheckBox* enable_;
  QLineEdit* file_name_;
  QLineEdit* max_lines_;
};

}  // namespace qlm::manager
