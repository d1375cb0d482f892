#pragma once

class QProgressBar;
class QPushButton;
class QTreeWidget;
class QWidget;

// The files page and the CD page each carry one set of controls for the
// search for matching carts: a button, the tree of matches and a progress
// bar. Both sets have the same object names; the "index" property (0 on
// the files page, 1 on the CD page) tells them apart.
class SearchControls
{
public:
    static QPushButton* button(int index, QWidget* page);
    // Hidden until a search shows it.
    static QTreeWidget* tree(int index, QWidget* page);
    // Hidden until a search or a folder scan shows it.
    static QProgressBar* progress(int index, QWidget* page);
};
