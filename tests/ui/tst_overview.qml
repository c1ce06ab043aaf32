import QtQuick
import QtTest
import KelvaneCore
import Kelvane

// The overview's texts, the deep-scan card, and the sidebar's badges.
Item {
    id: root
    width: 880
    height: 2000

    Component { id: overviewComponent; OverviewScreen { width: 880 } }
    Component { id: sidebarComponent; Sidebar { width: 224; height: 700 } }

    function find(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        const children = item.children || []
        for (let i = 0; i < children.length; ++i) {
            const found = find(children[i], name)
            if (found)
                return found
        }
        return null
    }

    TestCase {
        name: "Overview"
        when: windowShown

        function test_1_beforeAnyScan() {
            const overview = createTemporaryObject(overviewComponent, root)
            compare(overview.subtitle, Ui.bytes(App.freeSpace) + " free. Scan to see what is safe to clear.")
            compare(find(overview, "lastScanTile").value, "Never")
            compare(find(overview, "lastScanTile").detail, "Run the first scan")
            compare(find(overview, "statusText").text, "")
            verify(find(overview, "safetyCard").visible)
            const sidebar = createTemporaryObject(sidebarComponent, root)
            compare(sidebar.badge("junk"), "")
            compare(sidebar.badge("quarantine"), "")
        }

        function test_2_theDeepScanCardReplacesTheQuickOne() {
            const overview = createTemporaryObject(overviewComponent, root)
            ScanHold.hold()
            App.scanMode = "deep"
            App.startDeepScan()
            tryVerify(() => App.isDeepScanning)
            verify(find(overview, "deepProgressCard").visible)
            verify(!find(overview, "quickProgressCard").visible)
            verify(!find(overview, "primaryScanButton").enabled)
            verify(!find(overview, "scanTypePicker").enabled)
            App.stopScan()
            ScanHold.release()
            tryVerify(() => App.toast === "Deep scan stopped.", 20000)
            App.scanMode = "quick"
        }

        function test_3_afterAScanTheSubtitleAndBadgesFollow() {
            // The screen stays open through the scan: the button grows back from "Scanning…"
            // and the status beside it must move with it.
            const overview = createTemporaryObject(overviewComponent, root)
            App.startScan(false)
            tryVerify(() => !App.isScanning && App.junkResult.present, 20000)
            waitForRendering(overview)
            const button = find(overview, "primaryScanButton")
            const status = find(overview, "statusText")
            const buttonEnd = button.mapToItem(overview, button.width, 0).x
            verify(status.mapToItem(overview, 0, 0).x >= buttonEnd,
                   "the status starts at " + status.mapToItem(overview, 0, 0).x + ", the button ends at " + buttonEnd)
            verify(button.width >= button.contentItem.implicitWidth + button.leftPadding + button.rightPadding)
            const total = App.junkResult.totalBytes
            compare(overview.subtitle, Ui.bytes(App.freeSpace) + " free. " + Ui.bytes(total)
                    + " can be cleared without touching personal files.")
            compare(find(overview, "statusText").text, Ui.bytes(total) + " can be freed")
            verify(!find(overview, "safetyCard").visible)
            const sidebar = createTemporaryObject(sidebarComponent, root)
            compare(sidebar.badge("junk"), Ui.bytes(total))
        }
    }
}
