// The start-up baseline: a bare Qt Widgets dialog with two buttons, measured
// the same way as the program.
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("bare-dialog"));
  auto* layout = new QHBoxLayout(&dialog);
  layout->addWidget(new QPushButton(QStringLiteral("OK"), &dialog));
  layout->addWidget(new QPushButton(QStringLiteral("Cancel"), &dialog));
  return dialog.exec();
}
