// AppIcon.h - the program's icon: a letter envelope, drawn rather than shipped as a file.
#pragma once
#include <QIcon>

QIcon AppIcon();
