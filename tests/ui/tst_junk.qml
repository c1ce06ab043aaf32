import QtQuick
import QtTest
import KelvaneCore
import Kelvane

// The junk screen and its clean confirmation over the real controller.
Item {
    id: root
    width: 880
    height: 3000

    Component { id: junkComponent; JunkScreen { width: 880 } }
    Component { id: sheetComponent; ConfirmCleanSheet {} }

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
        if (item.contentItem && item.contentItem !== item) {
            const found = find(item.contentItem, name)
            if (found)
                return found
        }
        return null
    }
    function findAll(item, predicate, out) {
        if (!item)
            return out
        if (predicate(item))
            out.push(item)
        const children = item.children || []
        for (let i = 0; i < children.length; ++i)
            findAll(children[i], predicate, out)
        return out
    }

    TestCase {
        name: "JunkScreen"
        when: windowShown

        function test_1_beforeAnyScan() {
            const junk = createTemporaryObject(junkComponent, root)
            const clean = find(junk, "cleanButton")
            compare(clean.text, "Clean…")
            verify(!clean.enabled)
            compare(find(junk, "summaryTotal").text, "Not scanned")
            compare(find(junk, "summaryDetail").text, "Run a scan to see what can be removed.")
        }

        function test_2_afterAScanTheCleanButtonNamesTheTotal() {
            App.startScan(false)
            tryVerify(() => !App.isScanning && App.junkResult.present, 20000)
            const junk = createTemporaryObject(junkComponent, root)
            const clean = find(junk, "cleanButton")
            compare(clean.text, "Clean " + Ui.bytes(App.junkResult.totalBytes))
            verify(clean.enabled)
            const withItems = App.junkGroups().reduce((n, g) => n + g.rules.filter(r => r.itemCount > 0).length, 0)
            verify(withItems >= 3)  // thumbnails, logs and installers at least
            compare(find(junk, "summaryDetail").text, "Across " + withItems + " rule folders.")
        }

        function test_3_oneGroupUnfoldedAtATimeWithAnEightyRowLimit() {
            const junk = createTemporaryObject(junkComponent, root)
            const groups = App.junkGroups()
            const system = groups.find(g => g.group === "system")
            verify(system.itemCount > 200)  // the 200 thumbnails and the log at least
            const isRow = i => i.visible && i.item !== undefined && i.item !== null && i.item.path !== undefined
            junk.expandedGroup = "system"
            wait(50)
            const overflow = findAll(junk, i => i.visible && i.text !== undefined && String(i.text).startsWith("Showing 80 of "), [])
            compare(overflow.length, 1)
            compare(overflow[0].text, "Showing 80 of " + system.itemCount + " items. Clean moves all of them.")
            compare(findAll(junk, isRow, []).length, 80)

            const other = groups.find(g => g.group !== "system" && g.itemCount > 0)
            verify(other !== undefined)
            junk.expandedGroup = other.group
            wait(50)
            const after = findAll(junk, isRow, [])
            compare(after.length, Math.min(other.itemCount, 80))  // the first group folded
            compare(findAll(junk, i => i.visible && i.text !== undefined && String(i.text).startsWith("Showing 80 of "), []).length,
                    other.itemCount > 80 ? 1 : 0)
        }

        function test_4_aSwitchedOffRuleIsDimmedAndSaysOff() {
            App.setRuleEnabled("user-temp", false)
            const junk = createTemporaryObject(junkComponent, root)
            const rows = findAll(junk, i => i.rule !== undefined && i.rule !== null && i.rule.ruleID === "user-temp", [])
            compare(rows.length, 1)
            compare(rows[0].opacity, 0.62)
            const off = findAll(rows[0], i => i.text === "Off", [])
            compare(off.length, 1)
            App.setRuleEnabled("user-temp", true)
        }

        function test_5_theSheetNeedsTheReviewTickAndAnswersItsKeys() {
            const items = []
            for (let i = 0; i < 41; ++i)
                items.push({ path: "/tmp/x/f" + i, size: 1000, kind: "file" })
            const sheet = createTemporaryObject(sheetComponent, root, { title: "Clean 41 KB?", items: items })
            const confirmed = createTemporaryQmlObject('import QtTest; SignalSpy { signalName: "confirmed" }', root)
            confirmed.target = sheet
            sheet.open()
            tryCompare(sheet, "opened", true)
            const move = find(sheet.contentItem, "moveButton")
            verify(!move.enabled)
            compare(find(sheet.contentItem, "moreLine").text, "and 1 more")
            keyClick(Qt.Key_Return)
            compare(confirmed.count, 0)
            mouseClick(find(sheet.contentItem, "reviewedBox"))
            verify(move.enabled)
            keyClick(Qt.Key_Return)
            compare(confirmed.count, 1)
            keyClick(Qt.Key_Escape)
            tryCompare(sheet, "visible", false)
        }
    }
}
