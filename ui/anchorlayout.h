#pragma once
// A form's layout: each control keeps the rectangle it was designed at, and
// an edge anchored to the right or the bottom follows the container as it
// grows beyond its designed size. The container never lays out smaller than
// the design; a scroll area around it shows the rest on a small screen.
#include <QLayout>
#include <QList>
#include <QRect>
#include <functional>

namespace dw::ui {

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
inline constexpr unsigned kAnchorTopLeft = akLeft | akTop;
inline constexpr unsigned kAnchorAll = akLeft | akTop | akRight | akBottom;

class TAnchorLayout : public QLayout {
 public:
  explicit TAnchorLayout(QWidget* parent = nullptr);
  ~TAnchorLayout() override;

  // `widget` at `designed` (pixels of the container at its designed size).
  // Anchored to the left only, it keeps its width and position; to the left
  // and right, it widens with the container; to the right only, it moves with
  // the right edge. Likewise top and bottom.
  void AddWidget(QWidget* widget, const QRect& designed, unsigned anchors = kAnchorTopLeft);
  // How much the container has grown beyond its design (negative parts count
  // as none). Without a source, it is the container's size less DesignSize().
  void SetGrowthSource(std::function<QSize()> growth) { growth_ = std::move(growth); }
  // The container's designed size: the bounding box of the designed
  // rectangles and an equal gutter, unless set.
  void SetDesignSize(const QSize& size);
  QSize DesignSize() const;
  // Where the layout puts an item designed at `designed` for `growth`.
  static QRect Placed(const QRect& designed, unsigned anchors, const QSize& growth);

  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QSize sizeHint() const override { return DesignSize(); }
  QSize minimumSize() const override { return DesignSize(); }
  void setGeometry(const QRect& rect) override;
  Qt::Orientations expandingDirections() const override { return Qt::Horizontal | Qt::Vertical; }

 private:
  struct Item {
    QLayoutItem* item;
    QRect designed;
    unsigned anchors;
  };
  QList<Item> items_;
  QSize designSize_;
  std::function<QSize()> growth_;
};

}  // namespace dw::ui
