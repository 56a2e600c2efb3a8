// Keyboard movement over the lines of a list.
#include "app/list_keys.h"

#include <Qt>

#include <algorithm>

namespace pelldesk {
namespace {

// The first selectable line from `from` in `step`'s direction, or -1.
int SelectableFrom(int from, int step, int count, const std::function<bool(int)>& selectable) {
  for (int row = from; row >= 0 && row < count; row += step) {
    if (selectable(row)) return row;
  }
  return -1;
}

// The selectable line nearest `target` (looking on in `step`'s direction first, then
// back), or `keep` when there is none.
int Nearest(int target, int step, int count, int keep, const std::function<bool(int)>& selectable) {
  target = std::clamp(target, 0, std::max(count - 1, 0));
  int row = SelectableFrom(target, step, count, selectable);
  if (row < 0) row = SelectableFrom(target, -step, count, selectable);
  return row >= 0 ? row : keep;
}

}  // namespace

ListKeyResult ListKeyOf(int key, int selected, int count, int pageRows, const std::function<bool(int)>& selectable) {
  const int page = std::max(pageRows, 1);
  const bool none = selected < 0 || selected >= count;
  int row = -2;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return none ? ListKeyResult{} : ListKeyResult{ListKeyAction::Open, selected};
    case Qt::Key_Delete:
      return none ? ListKeyResult{} : ListKeyResult{ListKeyAction::Delete, selected};
    case Qt::Key_Down: {
      const int next = SelectableFrom(none ? 0 : selected + 1, 1, count, selectable);
      row = next >= 0 ? next : selected;
      break;
    }
    case Qt::Key_Up: {
      const int next = SelectableFrom(none ? count - 1 : selected - 1, -1, count, selectable);
      row = next >= 0 ? next : selected;
      break;
    }
    case Qt::Key_PageDown: row = Nearest(none ? page - 1 : selected + page, 1, count, selected, selectable); break;
    case Qt::Key_PageUp: row = Nearest(none ? 0 : selected - page, -1, count, selected, selectable); break;
    case Qt::Key_Home: row = Nearest(0, 1, count, selected, selectable); break;
    case Qt::Key_End: row = Nearest(count - 1, -1, count, selected, selectable); break;
    default: return ListKeyResult{};
  }
  if (row < 0 || row >= count) return ListKeyResult{};
  return ListKeyResult{ListKeyAction::Select, row};
}

int ScrollValueToShow(int top, int height, int value, int viewHeight) {
  if (top < value || viewHeight < height) return top;
  if (top + height > value + viewHeight) return top + height - viewHeight;
  return value;
}

}  // namespace pelldesk
