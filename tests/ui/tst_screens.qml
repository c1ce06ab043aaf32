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
    Component { id: largeComponent; LargeFilesScreen { width: 880 } }
    Component { id: duplicatesComponent; DuplicatesScreen { width: 880 } }
    Component { id: uninstallComponent; UninstallScreen { width: 880 } }
    Component { id: uninstallSheetComponent; UninstallSheet {} }
    Component { id: chooserComponent; FolderChooser {} }
    SignalSpy { id: chosenSpy; signalName: "chosen" }

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
            const before = App.batchCount
            App.startScan(false)
            tryVerify(() => !App.isScanning && App.junkResult.present, 20000)
            App.cleanAllJunk()
            tryVerify(() => App.batchCount === before + 1, 20000)
            const screen = createTemporaryObject(quarantineComponent, root)
            const shown = texts(screen, [])
            verify(shown.indexOf("Junk clean") >= 0)
            verify(shown.indexOf("Nothing in quarantine") < 0)
            screen.pendingDelete = { batchID: "x", remainingCount: 3, remainingBytes: 12000 }
            compare(screen.deleteMessage, "3 items and 12 KB will be removed from the disk. This cannot be undone.")
            screen.pendingDelete = null
        }

        function test_quarantineTextsFollowCleansAndTheClock() {
            const screen = createTemporaryObject(quarantineComponent, root)
            const runs = () => find(screen, "historyCount")
            const before = App.history.rowCount()
            Fixture.writeFile(".local/state/app/later.log", 60000, 20)
            App.startScan(false)
            tryVerify(() => !App.isScanning && App.junkResult.present, 20000)
            App.cleanAllJunk()
            tryVerify(() => App.history.rowCount() === before + 1, 20000)
            // The header counts the rows the screen shows, while it stays open.
            compare(runs().text, before + 1 === 1 ? "1 run" : (before + 1) + " runs")
            verify(texts(screen, []).indexOf("0 seconds ago") >= 0)
            TestClock.advance(180)
            verify(texts(screen, []).indexOf("3 minutes ago") >= 0)
            verify(texts(screen, []).indexOf("0 seconds ago") < 0)
            TestClock.advance(-180)
        }

        function test_folderChooserChoosesTheFolderShown() {
            const chooser = createTemporaryObject(chooserComponent, root, { title: "Choose a folder" })
            chosenSpy.target = chooser
            chosenSpy.clear()
            chooser.openAt("")
            tryCompare(chooser, "opened", true)
            compare(chooser.folder, Ui.homePath)
            const names = chooser.folders.map(f => f.name)
            verify(names.indexOf("Downloads") >= 0 && names.indexOf("Media") >= 0)
            verify(names.every(n => !n.startsWith(".")))
            compare(names.indexOf("Downloads") < names.indexOf("Media"), true)
            // Nothing is picked for the user: accepting at once chooses the folder shown.
            chooser.accept()
            compare(chosenSpy.count, 1)
            compare(chosenSpy.signalArguments[0][0], Ui.homePath)
            chooser.openAt(Ui.homePath + "/Media/../Downloads")
            compare(chooser.folder, Ui.homePath + "/Downloads")
            chooser.up()
            compare(chooser.folder, Ui.homePath)
            chooser.showHidden = true
            verify(chooser.folders.some(f => f.name === ".cache"))
            chooser.openFolder(chooser.folders.find(f => f.name === "Media").path)
            chooser.accept()
            compare(chosenSpy.signalArguments[1][0], Ui.homePath + "/Media")
        }

        function test_scheduleRowsFollowTheMode() {
            const screen = createTemporaryObject(settingsComponent, root)
            // A row's button sits in the middle of its row once the texts have wrapped.
            waitForRendering(screen)
            const reset = find(screen, "resetRules")
            const row = reset.parent
            verify(Math.abs(reset.y + reset.height / 2 - row.height / 2) <= 1,
                   "the button is at " + reset.y + " in a row " + row.height + " high")
            App.setScheduleMode("manual")
            verify(!find(screen, "scheduleRows").visible)
            App.setScheduleMode("daily")
            verify(find(screen, "scheduleRows").visible)
            verify(!find(screen, "dayRow").visible)
            App.setScheduleMode("weekly")
            verify(find(screen, "dayRow").visible)
            verify(find(screen, "nextRun").text !== "Not scheduled")
            // The hour menu opens below itself, eight rows high, scrolled to the hour set.
            const hours = find(screen, "hourMenu")
            hours.popup.open()
            tryCompare(hours.popup, "opened", true)
            verify(hours.popup.height <= 8 * 26 + 8, "the menu is " + hours.popup.height + " high")
            verify(hours.popup.y >= hours.height)
            const list = hours.popup.contentItem
            const rowTop = App.schedule.hour * 26
            verify(rowTop >= list.contentY && rowTop + 26 <= list.contentY + list.height,
                   "row " + rowTop + " outside " + list.contentY + "–" + (list.contentY + list.height))
            hours.popup.close()
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

        function test_startupListsOfEntries() {
            const entry = name => "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name.toLowerCase() + "\n"
            Fixture.writeText(".config/autostart/alpha.desktop", entry("Alpha"))
            Fixture.writeText(".config/autostart/beta.desktop", entry("Beta"))
            Fixture.writeText("machine/etc/xdg/autostart/gamma.desktop", entry("Gamma"))
            App.refreshStartupItems()
            const screen = createTemporaryObject(startupComponent, root)
            compare(App.userStartupCount, 2)
            // A divider between the two rows, none after the last.
            const dividers = []
            const collect = item => {
                if (item.objectName === "startupRowDivider" && item.visible) dividers.push(item)
                for (let i = 0; i < item.children.length; ++i) collect(item.children[i])
            }
            collect(screen)
            compare(dividers.length, 1)
            // The machine-wide entry has a switch, so its list is not called read-only.
            verify(texts(screen, []).indexOf("Gamma") >= 0)
            verify(texts(screen, []).indexOf("Read only") < 0)
            Fixture.remove(".config/autostart")
            Fixture.remove("machine/etc/xdg/autostart")
            App.refreshStartupItems()
        }

        function test_startupWithoutAgents() {
            const screen = createTemporaryObject(startupComponent, root)
            compare(find(screen, "enabledTile").value, "0")
            compare(find(screen, "enabledTile").detail, "of 0 login items")
            verify(texts(screen, []).indexOf("No login items") >= 0)
        }

        function test_largeFilesSelectionFollowsTheResult() {
            const screen = createTemporaryObject(largeComponent, root)
            compare(find(screen, "largeFooter").text, "No files selected")
            App.largeRoot = Ui.homePath + "/Downloads"
            App.chooseLargeMinMB(1)
            App.startLargeScan()
            tryVerify(() => !App.isScanningLarge && App.largeScan.present, 20000)
            compare(screen.items.length, 2)
            compare(find(screen, "largeCountLine").text, "2 items over 1 MB")
            verify(!find(screen, "largeMoveButton").enabled)
            screen.toggle(screen.items[0].path, true)
            compare(find(screen, "largeFooter").text, "1 item selected, " + Ui.bytes(screen.items[0].size))
            compare(find(screen, "largeCaption").text, Ui.bytes(screen.items[0].size) + " of " + Ui.bytes(screen.total) + " selected.")
            verify(find(screen, "largeMoveButton").enabled)
            App.chooseLargeMinMB(1024)  // the header names the new limit at once
            compare(find(screen, "largeCountLine").text, "2 items over 1024 MB")
            // A clean that moves the ticked file changes the count, so the ticks are pruned.
            App.cleanLargeFiles([screen.items[0].path])
            tryVerify(() => screen.items.length === 1, 20000)
            compare(Object.keys(screen.selected).length, 0)
            compare(find(screen, "largeFooter").text, "No files selected")
            App.chooseLargeMinMB(100)
        }

        function test_duplicateKeepersAndSelectAll() {
            const screen = createTemporaryObject(duplicatesComponent, root)
            App.chooseDuplicateRoot(Ui.homePath + "/Media")
            App.chooseDuplicateMinMB(1)
            App.startDuplicateScan()
            tryVerify(() => !App.isScanningDuplicates && App.duplicateScan.present, 20000)
            compare(screen.groups.length, 1)
            const group = screen.groups[0]
            compare(group.files.length, 3)
            compare(screen.keeper(group), group.files[0].path)
            screen.selectAllExtraCopies()
            compare(screen.selectedItems.length, 2)
            verify(screen.selected[group.files[0].path] !== true)
            // Keeping the second copy unticks it; the old keeper stays unticked.
            screen.keep(group, group.files[1].path)
            compare(screen.keeper(group), group.files[1].path)
            verify(screen.selected[group.files[1].path] !== true)
            compare(screen.selectedItems.length, 1)
            // Removing the group resets keepers and ticks.
            App.cleanDuplicates([group.files[0].path, group.files[2].path])
            tryVerify(() => screen.groups.length === 0, 20000)
            compare(Object.keys(screen.selected).length, 0)
            compare(Object.keys(screen.keepers).length, 0)
        }

        function test_uninstallSearchAndSheet() {
            const screen = createTemporaryObject(uninstallComponent, root)
            tryVerify(() => !App.isLoadingApps && screen.apps.length === 1, 20000)
            screen.search = "   "
            compare(screen.filtered.length, 1)
            screen.search = "nothing like it"
            compare(screen.filtered.length, 0)
            compare(find(screen, "appCount").text, "0 of 1")
            verify(texts(screen, []).indexOf("No application matches “nothing like it”.") >= 0)
            // Centred in the list's width, with its 36 points above and below.
            const noMatch = find(screen, "noMatch")
            compare(noMatch.width, noMatch.parent.width)
            const column = find(noMatch, "emptyStateColumn")
            compare(column.y, 36)
            tryVerify(() => noMatch.height === column.height + 72, 2000, noMatch.height + " ≠ " + column.height + " + 72")
            const title = column.children[1]
            compare(title.mapToItem(noMatch, title.width / 2, 0).x, noMatch.width / 2)
            screen.search = "NOTES"
            compare(screen.filtered.length, 1)

            const app = screen.apps[0]
            const sheet = createTemporaryObject(uninstallSheetComponent, root, { app: app,
                leftovers: [{ path: "/x/a", name: "a", parentPath: "/x", size: 1000 },
                            { path: "/x/b", name: "b", parentPath: "/x", size: 3000 }] })
            sheet.open()
            tryCompare(sheet, "opened", true)
            compare(sheet.chosen.length, 2)  // every leftover starts ticked
            verify(!find(sheet.contentItem, "confirmUninstall").enabled)
            sheet.selected = {}
            compare(find(sheet.contentItem, "uninstallSummary").text, Ui.bytes(app.size) + " app · 0 KB leftovers")
            sheet.close()
            // The screen's own sheet opens and closes with the pending uninstall, both ways.
            screen.pending = { app: app, leftovers: [] }
            tryVerify(() => screen.sheet.opened)
            screen.pending = null
            tryVerify(() => !screen.sheet.visible)
            screen.pending = { app: app, leftovers: [] }
            tryVerify(() => screen.sheet.opened)
            screen.sheet.close()
            tryVerify(() => screen.pending === null)
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
