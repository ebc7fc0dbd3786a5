// Stand-in for the QML integration header when its package is missing: the
// text-to-speech header uses only this macro, which registers the class with
// QML and means nothing to a C++ program.
#pragma once
#define QML_ELEMENT
