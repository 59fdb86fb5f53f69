#include "app/tape_model.h"

#include <QMetaObject>
#include <algorithm>

namespace zantor::app {
namespace {

// Lines read at a time: a screenful or two on either side of the one asked for.
constexpr long long kBlock = 256;
constexpr long long kBlockBefore = 96;

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

TapeModel::TapeModel(QObject* parent) : QAbstractListModel(parent) {}

TapeModel::~TapeModel() { StopWorker(); }

void TapeModel::StopWorker() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  stop_ = false;
}

void TapeModel::Forget() {
  beginResetModel();
  reader_.reset();
  cache_.clear();
  rows_ = 0;
  closed_ = false;
  endResetModel();
}

void TapeModel::Open(const std::string& path) {
  StopWorker();
  Forget();
  path_ = path;
  Reindex();
}

void TapeModel::Clear() {
  StopWorker();
  ++generation_;
  Forget();
}

void TapeModel::Reindex() {
  if (path_.empty()) return;
  StopWorker();
  cache_.clear();
  EmitAllChanged();
  const unsigned generation = ++generation_;
  worker_ = std::thread([this, generation, path = path_] {
    auto built = std::make_shared<store::TapeReader>(path);
    const bool ok = built->Open(&stop_);
    if (stop_) return;
    QMetaObject::invokeMethod(
        this, [this, built, generation, ok] { Adopt(ok ? built : nullptr, generation, closed_); },
        Qt::QueuedConnection);
  });
}

void TapeModel::Adopt(std::shared_ptr<store::TapeReader> built, unsigned generation,
                      bool keepClosed) {
  if (generation != generation_) return;
  if (worker_.joinable()) worker_.join();
  beginResetModel();
  cache_.clear();
  if (built) {
    reader_ = std::make_unique<store::TapeReader>(std::move(*built));
    // Steps recorded while it was being indexed.
    if (reader_->CatchUp()) keepClosed = false;
    if (keepClosed) reader_->CloseRun();
  } else {
    reader_.reset();
  }
  rows_ = reader_ ? static_cast<int>(reader_->lines()) : 0;
  closed_ = keepClosed;
  endResetModel();
  emit Indexed();
}

void TapeModel::Refresh() {
  cache_.clear();
  EmitAllChanged();
}

void TapeModel::EmitAllChanged() {
  if (rows_ > 0) emit dataChanged(index(0), index(rows_ - 1));
}

void TapeModel::CatchUp() {
  closed_ = false;
  if (!reader_ || !reader_->CatchUp()) return;
  cache_.clear();
  const int lines = static_cast<int>(reader_->lines());
  if (lines <= rows_) return;
  beginInsertRows(QModelIndex(), rows_, lines - 1);
  rows_ = lines;
  endInsertRows();
}

void TapeModel::CloseRun() {
  closed_ = true;
  if (!reader_) return;
  reader_->CloseRun();
  const int lines = static_cast<int>(reader_->lines());
  if (lines <= rows_) return;
  cache_.clear();
  beginInsertRows(QModelIndex(), rows_, lines - 1);
  rows_ = lines;
  endInsertRows();
}

const store::TapeLine* TapeModel::Line(int row) const {
  if (!reader_ || row < 0 || row >= rows_) return nullptr;
  if (row < cacheFirst_ || row >= cacheFirst_ + static_cast<long long>(cache_.size())) {
    const long long first = std::max(0LL, row - kBlockBefore);
    if (!reader_->Read(first, kBlock, &cache_)) {
      cache_.clear();
      return nullptr;
    }
    cacheFirst_ = first;
    if (row >= cacheFirst_ + static_cast<long long>(cache_.size())) return nullptr;
  }
  return &cache_[static_cast<size_t>(row - cacheFirst_)];
}

QString TapeModel::CopyText(const store::TapeLine& line) {
  if (line.rule) return Q(store::RuleText(line.item, line.total));
  return QString::number(line.item) + QLatin1Char('\t') + Q(store::OperatorGlyph(line.op)) +
         QLatin1Char('\t') + Q(line.entry) + QLatin1Char('\t') + Q(line.total) + QLatin1Char('\t') +
         Q(line.note);
}

QString TapeModel::CopyText(int first, int last) const {
  QString text;
  if (!reader_) return text;
  std::vector<store::TapeLine> lines;
  for (long long at = std::max(0, first); at <= last; at += 4096) {
    if (!reader_->Read(at, std::min<long long>(4096, last - at + 1), &lines)) break;
    for (const store::TapeLine& l : lines) {
      text += CopyText(l);
      text += QLatin1Char('\n');
    }
  }
  return text;
}

void TapeModel::RunRows(int row, int* first, int* last) const {
  long long f = -1;
  long long l = -1;
  if (reader_) reader_->RunLines(row, &f, &l);
  *first = static_cast<int>(f);
  *last = static_cast<int>(l);
}

int TapeModel::RowOfStep(long long id) const {
  return reader_ ? static_cast<int>(reader_->LineOfStep(id)) : -1;
}

void TapeModel::SetMark(long long stepId, StepMark mark) {
  if (mark == StepMark::kNone) {
    marks_.remove(stepId);
  } else {
    marks_.insert(stepId, mark);
  }
  if (const int row = RowOfStep(stepId); row >= 0) emit dataChanged(index(row), index(row));
}

void TapeModel::ClearMarks() {
  if (marks_.isEmpty()) return;
  marks_.clear();
  EmitAllChanged();
}

int TapeModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

QVariant TapeModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole) {
    return {};
  }
  const store::TapeLine* line = Line(index.row());
  if (line == nullptr) return {};
  if (role == Qt::ToolTipRole) return line->note.empty() ? QVariant() : QVariant(Q(line->note));
  if (line->rule) return Q(store::RuleText(line->item, line->total));
  // Read aloud in full, as the line shows it.
  QString text = QStringLiteral("%1  %2  %3  %4")
                     .arg(line->item)
                     .arg(Q(store::OperatorGlyph(line->op)), Q(line->entry), Q(line->total));
  switch (MarkOf(line->id)) {
    case StepMark::kAgrees:
      text += QStringLiteral("  ✓");
      break;
    case StepMark::kDiffers:
      text += QStringLiteral("  ✗");
      break;
    case StepMark::kNone:
      break;
  }
  if (!line->note.empty()) text += QStringLiteral("  ") + Q(line->note);
  return text;
}

}  // namespace zantor::app
