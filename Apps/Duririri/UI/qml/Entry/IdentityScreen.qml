import QtQuick
import QtQuick.Controls
import Sendra.App

Item {
    objectName: "identity.screen"
}
