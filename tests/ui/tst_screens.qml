import QtQuick
import QtTest
import KelvaneCore
import Kelvane

// The quarantine, settings, startup and disk map screens over the real controller.
Item {
    id: root
    width: 880
    height: 3000

    Component { id: quarantineComponent; QuarantineScreen { width: 880 } }
    Component { id: settingsComponent; SettingsScreen { width: 880 } }
    Component { id: startupComponent; StartupScreen { width: 880 } }
    Component { id: diskMapComponent; DiskMapScreen { width: 880 } }

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
        if (item.contentItem && item.contentItem !== item)
            return find(item.contentItem, name)
        return null
    }
    function texts(item, out) {
        if (!item)
            return out
        if (item.visible && item.text !== undefined && typeof item.text === "string")
            out.push(item.text)
        const children = item.children || []
        for (let i = 0; i < children.length; ++i)
            texts(children[i], out)
        return out
    }
    function daysFromNow(days) { return new Date(Date.now() + days * 86400000) }

    TestCase {
        name: "Screens"
        when: windowShown

        function test_quarantinePills() {
            const screen = createTemporaryObject(quarantineComponent, root)
            const cases = [
                [0, daysFromNow(5), "Settled", AppPalette.idle],
                [3, daysFromNow(-1), "Expired", AppPalette.danger],
                [3, daysFromNow(1.5), "Last day", AppPalette.warning],
                [3, daysFromNow(2.5), "2 days left", AppPalette.warning],
                [3, daysFromNow(6.5), "6 days left", AppPalette.idle],
            ]
            for (const [count, expires, text, tint] of cases) {
                const pill = screen.status(count, expires)
                compare(pill.text, text)
                compare(String(pill.tint), String(tint), text)
            }
        }

        function test_quarantineAfterACleanAndTheDeleteAlert() {
            App.startScan(false)
            tryVerify(() => !App.isScanning && App.junkResult.present, 20000)
            App.cleanAllJunk()
            tryVerify(() => App.batchCount === 1, 20000)
            const screen = createTemporaryObject(quarantineComponent, root)
            const shown = texts(screen, [])
            verify(shown.indexOf("Junk clean") >= 0)
            verify(shown.indexOf("Nothing in quarantine") < 0)
            screen.pendingDelete = { batchID: "x", remainingCount: 3, remainingBytes: 12000 }
            compare(screen.deleteMessage, "3 items and 12 KB will be removed from the disk. This cannot be undone.")
            screen.pendingDelete = null
        }

        function test_scheduleRowsFollowTheMode() {
            const screen = createTemporaryObject(settingsComponent, root)
            App.setScheduleMode("manual")
            verify(!find(screen, "scheduleRows").visible)
            App.setScheduleMode("daily")
            verify(find(screen, "scheduleRows").visible)
            verify(!find(screen, "dayRow").visible)
            App.setScheduleMode("weekly")
            verify(find(screen, "dayRow").visible)
            verify(find(screen, "nextRun").text !== "Not scheduled")
            App.setScheduleMode("manual")
            compare(App.schedule.hour, 9)  // kept while hidden
        }

        function test_ignoreListAddAndRemove() {
            const screen = createTemporaryObject(settingsComponent, root)
            screen.tab = "safety"
            const before = App.settings.ignoreList.length
            App.addIgnorePath(Ui.homePath + "/Keep")
            compare(App.settings.ignoreList.length, before + 1)
            verify(texts(screen, []).indexOf("~/Keep") >= 0)
            App.removeIgnorePath(Ui.homePath + "/Keep")
            compare(App.settings.ignoreList.length, before)
            verify(texts(screen, []).indexOf("~/Keep") < 0)
        }

        function test_startupWithoutAgents() {
            const screen = createTemporaryObject(startupComponent, root)
            compare(find(screen, "enabledTile").value, "0")
            compare(find(screen, "enabledTile").detail, "of 0 login items")
            verify(texts(screen, []).indexOf("No login items") >= 0)
        }

        function test_diskMapMapsHomeOnFirstView() {
            const screen = createTemporaryObject(diskMapComponent, root)
            verify(screen.isScanning)
            tryVerify(() => !screen.isScanning && screen.current !== null, 20000)
            verify(find(screen, "treemapCard").visible)
            compare(screen.trail.length, 1)
            const folder = screen.current.children.find(c => c.isDirectory)
            screen.open(folder)
            tryVerify(() => !screen.isScanning, 20000)
            verify(screen.trail.length === 2 || screen.selected !== null)
            screen.goBack(0)
            compare(screen.trail.length, 1)
            compare(screen.selected, null)
        }
    }
}
