// The keys of the folder list and the folder tree, which behave alike: arrows, pages,
// Home and End move the selection over the lines that can be selected, Enter opens the
// selected line and Delete asks for the window's Delete command. Knows no widget.
#pragma once

#include <functional>

namespace pelldesk {

enum class ListKeyAction { None, Select, Open, Delete };

struct ListKeyResult {
  ListKeyAction action = ListKeyAction::None;
  int row = -1;  // the line to select, for Select
};

// What `key` (a Qt::Key) does to a list of `count` lines with `selected` selected (-1
// for none), `pageRows` lines to a page. A move that finds no selectable line in its
// direction keeps the selection.
ListKeyResult ListKeyOf(int key, int selected, int count, int pageRows, const std::function<bool(int)>& selectable);

// The vertical scroll value that brings the line at `top`, `height` high, into a view
// `viewHeight` high now scrolled to `value`, moving as little as it can.
int ScrollValueToShow(int top, int height, int value, int viewHeight);

}  // namespace pelldesk
