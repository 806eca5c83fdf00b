#include "ui/anchorlayout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

namespace dw::ui {

TAnchorLayout::TAnchorLayout(QWidget* parent) : QLayout(parent) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

TAnchorLayout::~TAnchorLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void TAnchorLayout::AddWidget(QWidget* widget, const QRect& designed, unsigned anchors) {
  addChildWidget(widget);
  items_.push_back({new QWidgetItem(widget), designed, anchors});
  widget->setGeometry(designed);
  invalidate();
}

void TAnchorLayout::addItem(QLayoutItem* item) {
  const QRect at = item->widget() ? item->widget()->geometry() : item->geometry();
  items_.push_back({item, at, kAnchorTopLeft});
  invalidate();
}

QLayoutItem* TAnchorLayout::itemAt(int index) const {
  return index >= 0 && index < count() ? items_[index].item : nullptr;
}

QLayoutItem* TAnchorLayout::takeAt(int index) {
  if (index < 0 || index >= count()) return nullptr;
  QLayoutItem* item = items_.takeAt(index).item;
  invalidate();
  return item;
}

void TAnchorLayout::SetDesignSize(const QSize& size) {
  designSize_ = size;
  invalidate();
}

QSize TAnchorLayout::DesignSize() const {
  if (designSize_.isValid()) return designSize_;
  QRect box;
  for (const Item& i : items_) box |= i.designed;
  return {box.right() + 1 + std::max(0, box.left()), box.bottom() + 1 + std::max(0, box.top())};
}

QRect TAnchorLayout::Placed(const QRect& designed, unsigned anchors, const QSize& growth) {
  const int dx = std::max(0, growth.width()), dy = std::max(0, growth.height());
  QRect r = designed;
  if (anchors & akRight) {
    if (anchors & akLeft)
      r.setWidth(r.width() + dx);
    else
      r.translate(dx, 0);
  }
  if (anchors & akBottom) {
    if (anchors & akTop)
      r.setHeight(r.height() + dy);
    else
      r.translate(0, dy);
  }
  return r;
}

void TAnchorLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const QSize growth = growth_ ? growth_() : rect.size() - DesignSize();
  // Straight to the widget: a widget item would bound the rectangle by the
  // widget's size policy (a line edit's height by its hint) and centre it.
  for (const Item& i : items_) {
    const QRect at = Placed(i.designed, i.anchors, growth).translated(rect.topLeft());
    if (QWidget* widget = i.item->widget())
      widget->setGeometry(at);
    else
      i.item->setGeometry(at);
  }
}

}  // namespace dw::ui
