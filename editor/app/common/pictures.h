// The editor's pictures: button faces, page strips and the main window's
// pictures, drawn by editor/resources/pictures/make_pictures.cpp and built
// into the program from editor/resources/editor.qrc.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// The picture of that name, e.g. EditorPicture("ReadUpBtn"). The pixmaps are
// loaded once and shared by every window. An unknown name gives a null pixmap
// (a button then has no face).
const QPixmap& EditorPicture(const QString& name);

// Every picture the editor ships and the size it must have, for checks.
struct EditorPictureInfo {
    QString name;
    QSize size;
};
const QList<EditorPictureInfo>& EditorPictureList();

// Names of the faces of one button: "Read" gives "ReadUpBtn" and "ReadDwnBtn".
QString UpFaceName(const QString& stem);
QString DownFaceName(const QString& stem);
