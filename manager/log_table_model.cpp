// The log table model and its icons.
#include "manager/log_table_model.h"

#include <QPainter>
#include <QPixmap>

namespace qlm::manager {

std::vector<QIcon> MakeLogIcons() {
  // Index: other, error, HTTP, dial-on, dial-off, information, HTTPS, mail.
  const QColor colours[] = {Qt::gray, Qt::red, Qt::blue, Qt::darkGreen,
                            Qt::darkYellow, Qt::cyan, Qt::darkBlue, Qt::magenta};
  const char* letters[] = {"", "!", "H", "+", "-", "i", "S", "@"};
  std::vector<QIcon> icons;
  for (int i = 0; i < 8; ++i) {
    QIcon icon;
    for (int size : {16, 32}) {
      QPixmap pixmap(size, size);
      pixmap.fill(Qt::transparent);
      QPainter painter(&pixmap);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setBrush(colours[i]);
      painter.setPen(Qt::NoPen);
      painter.drawEllipse(1, 1, size - 2, size - 2);
      painter.setPen(Qt::white);
      painter.drawText(pixmap.rect(), Qt::AlignCenter, letters[i]);
      painter.end();
      icon.addPixmap(pixmap);
    }
    icons.push_back(icon);
  }
  return icons;
}

CLogTableModel::CLogTableModel(CLogModel* model, QObject* parent)
    : QAbstractTableModel(parent), model_(model), icons_(MakeLogIcons()) {}

void CLogTableModel::Refresh(bool whole) {
  const CLogModel::Change change = whole ? (model_->ReloadLog(), CLogModel::Change::kReloaded)
                                         : model_->RefreshLog();
  if (change == CLogModel::Change::kNone) {
    return;
  }
  const int rows = static_cast<int>(model_->RowCount());
  if (change == CLogModel::Change::kReloaded || rows < shown_rows_) {
    beginResetModel();
    shown_rows_ = rows;
    endResetModel();
    return;
  }
  // New lines are the newest: they enter at the top.
  beginInsertRows(QModelIndex(), 0, rows - shown_rows_ - 1);
  shown_rows_ = rows;
  endInsertRows();
}

int CLogTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_rows_;
}

int CLogTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kLogColumnCount);
}

QVariant CLogTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shown_rows_) {
    return QVariant();
  }
  if (role == Qt::DisplayRole) {
    const LogColumns columns = model_->Row(static_cast<size_t>(index.row()));
    return QString::fromStdString(columns[static_cast<size_t>(index.column())]);
  }
  if (role == Qt::DecorationRole && index.column() == 0) {
    const LogColumns columns = model_->Row(static_cast<size_t>(index.row()));
    return icons_[static_cast<size_t>(LogIconIndex(columns[3]))];
  }
  return QVariant();
}

QVariant CLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(kLogColumnCount)) {
    return QVariant();
  }
  return QString(kLogColumns[static_cast<size_t>(section)].title);
}

}  // namespace qlm::manager
