#include "radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/error_handler.h"

TRadioGroup::TRadioGroup(const QString& Caption, const QStringList& Items, QWidget* Parent)
    : QGroupBox(Caption, Parent), FGroup(new QButtonGroup(this)) {
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(8, 4, 8, 4);
  Layout->setSpacing(2);
  for (int I = 0; I < Items.size(); ++I) {
    auto* B = new QRadioButton(Items[I], this);
    FGroup->addButton(B, I);
    Layout->addWidget(B);
    FButtons.push_back(B);
  }
  connect(FGroup, &QButtonGroup::idClicked, this, [this](int Id) {
    if (Id != FItemIndex) GuardedCall([&] { Select(Id); });
  });
}

void TRadioGroup::SetItemIndex(int Index) {
  if (Index >= Count()) Index = Count() - 1;
  if (Index < -1) Index = -1;
  if (Index == FItemIndex) return;
  if (Index < 0) {
    FGroup->setExclusive(false);
    for (auto* B : FButtons) B->setChecked(false);
    FGroup->setExclusive(true);
  } else {
    FButtons[size_t(Index)]->setChecked(true);
  }
  Select(Index);
}

void TRadioGroup::Select(int Index) {
  FItemIndex = Index;
  // Called from the program's own code too, so errors go back to that caller.
  if (OnClick) OnClick();
}
