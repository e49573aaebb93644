#pragma once

#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

// The folder tree of the profile dialogs as the user works it, for tests that load the
// dialogs from their module and so know the tree only as a QTreeWidget.

// The item showing text below the drive whose item ends with driveSuffix ("(C:)"), that
// drive opened first; none when there is no such item.
inline QTreeWidgetItem* OpenedFolderItem(QTreeWidget& tree, const QString& driveSuffix,
                                         const QString& text) {
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
        if ((*it)->text(0).endsWith(driveSuffix))
            (*it)->setExpanded(true);
    }
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
        if ((*it)->text(0) == text)
            return *it;
    }
    return nullptr;
}

// Ticks or unticks item with a click on its check box.
inline void ClickCheckBox(QTreeWidget& tree, QTreeWidgetItem* item) {
    tree.scrollToItem(item);
    const QRect cell = tree.visualItemRect(item);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                      QPoint(cell.left() + 8, cell.center().y()));
}
