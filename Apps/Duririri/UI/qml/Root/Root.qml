import QtQuick

Item {
    objectName: "root"
}
