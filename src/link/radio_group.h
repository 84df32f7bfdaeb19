#pragma once
// A titled group of radio buttons with an item index. Its click event fires whenever the
// selection changes, also when the program changes it, since the window's setup relies on that.

#include <QGroupBox>

#include <functional>
#include <vector>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& Caption, const QStringList& Items, QWidget* Parent = nullptr);

  int ItemIndex() const { return FItemIndex; }
  // -1 clears the selection; an index past the end selects the last item.
  void SetItemIndex(int Index);
  int Count() const { return int(FButtons.size()); }
  QRadioButton* Button(int Index) const { return FButtons.at(size_t(Index)); }

  std::function<void()> OnClick;

 private:
  void Select(int Index);
  std::vector<QRadioButton*> FButtons;
  QButtonGroup* FGroup;
  int FItemIndex = -1;
};
