import QtQuick
import QtQuick.Controls
import Sendra.App

Item {
    property bool regularSizeClass: true
    objectName: "access.screen"
}
