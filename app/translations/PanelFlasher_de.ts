<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>Localizable</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>PreWarningDescription</source>
        <translation>Bitte vor dem Aktualisieren der Monitor-Firmware lesen.</translation>
    </message>
    <message>
        <source>PreWarningMessage</source>
        <translation>Dieses Programm installiert neue Firmware auf Ihrem Monitor.

Bevor Sie fortfahren:
• Verbinden Sie den Monitor mit seinem USB-Kabel mit diesem Computer.
• Schließen Sie den Monitor an das Stromnetz an und schalten Sie ihn ein.
• Speichern Sie Ihre Arbeit und schließen Sie andere Programme, die den Monitor steuern. Das Aktualisierungsprogramm beendet die Monitor-Anwendungen des Herstellers, wenn die Aktualisierung beginnt.

Während der Aktualisierung:
• Ziehen Sie weder das USB-Kabel noch das Netzkabel des Monitors ab.
• Schalten Sie weder den Monitor noch den Computer aus, und lassen Sie den Computer nicht in den Ruhezustand wechseln.
• Der Monitor startet zum Installieren der Firmware von selbst neu. Sein Bildschirm kann dabei mehrere Minuten dunkel bleiben; das ist normal.

Eine unterbrochene Aktualisierung kann den Monitor unbrauchbar machen.

Klicken Sie auf OK, um fortzufahren.</translation>
    </message>
    <message>
        <source>ProcessDescription</source>
        <translation>Diese Anwendungen steuern den Monitor und werden beendet, wenn die Aktualisierung beginnt. Speichern Sie Ihre Arbeit darin und klicken Sie dann auf OK, um fortzufahren.</translation>
    </message>
    <message>
        <source>MonitorSelectMessage</source>
        <translation>Wählen Sie den Monitor, der aktualisiert werden soll. Der gewählte Monitor zeigt seine Kennung auf seinem Bildschirm.</translation>
    </message>
    <message>
        <source>MonitorConnectMessage</source>
        <translation>Kein Monitor gefunden. Verbinden Sie den Monitor mit seinem USB-Kabel mit diesem Computer und schalten Sie ihn ein; die Liste wird von selbst aktualisiert.</translation>
    </message>
    <message>
        <source>CurrentVersion</source>
        <translation>Aktuelle Version:</translation>
    </message>
    <message>
        <source>UpdatedVersion</source>
        <translation>Version nach der Aktualisierung:</translation>
    </message>
    <message>
        <source>DoUpdate</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Bevor die Aktualisierung beginnt</translation>
    </message>
    <message>
        <source>WarningConfirm</source>
        <translation>Bestätigen Sie beide Punkte, um die Aktualisierung zu starten:</translation>
    </message>
    <message>
        <source>WarningPowerCheck</source>
        <translation>Der Monitor ist eingeschaltet, und sein Netzkabel bleibt eingesteckt, bis die Aktualisierung abgeschlossen ist.</translation>
    </message>
    <message>
        <source>WarningUSBCheck</source>
        <translation>Das USB-Kabel zwischen dem Monitor und diesem Computer bleibt eingesteckt, bis die Aktualisierung abgeschlossen ist.</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>Aktualisierung starten</translation>
    </message>
    <message numerus="yes">
        <source>WarningUpdateTime</source>
        <translation>
            <numerusform>Die Aktualisierung dauert etwa %n Minute. Ziehen Sie den Monitor nicht ab und schalten Sie ihn nicht aus, bis das Programm meldet, dass sie abgeschlossen ist.</numerusform>
            <numerusform>Die Aktualisierung dauert etwa %n Minuten. Ziehen Sie den Monitor nicht ab und schalten Sie ihn nicht aus, bis das Programm meldet, dass sie abgeschlossen ist.</numerusform>
        </translation>
    </message>
    <message>
        <source>UpdateCompleteTitle</source>
        <translation>Aktualisierung abgeschlossen</translation>
    </message>
    <message>
        <source>UpdateCompleteMessage</source>
        <translation>Die Firmware des Monitors wurde aktualisiert.

Neue Version: %1%2</translation>
    </message>
    <message>
        <source>CommunicationError</source>
        <translation>Kommunikationsfehler</translation>
    </message>
    <message>
        <source>CommunicationErrorMessage</source>
        <translation>Der Monitor hat nicht wie erwartet geantwortet. Prüfen Sie, ob er eingeschaltet und mit seinem USB-Kabel mit diesem Computer verbunden ist, und starten Sie das Programm erneut.</translation>
    </message>
    <message>
        <source>FileError</source>
        <translation>Fehler in der Firmware-Datei</translation>
    </message>
    <message>
        <source>KfwFileNotFoundErrorMessage</source>
        <translation>Im Ordner des Aktualisierungsprogramms wurde keine Firmware-Datei (.kfw2) gefunden. Legen Sie die Firmware-Datei für Ihren Monitor in diesen Ordner und starten Sie das Programm erneut.</translation>
    </message>
    <message>
        <source>KfwFileMultipleFoundErrorMessage</source>
        <translation>Im Ordner des Aktualisierungsprogramms wurde mehr als eine Firmware-Datei (.kfw2) gefunden. Lassen Sie nur die Firmware-Datei für Ihren Monitor in diesem Ordner und starten Sie das Programm erneut.</translation>
    </message>
    <message>
        <source>FileOpenErrorMessage</source>
        <translation>Die Firmware-Datei kann nicht geöffnet werden. Sie ist möglicherweise beschädigt oder hat ein Format, das dieses Programm nicht unterstützt. Laden Sie die Firmware-Datei erneut herunter.</translation>
    </message>
    <message>
        <source>FileDiffrentModelErrorMessage</source>
        <translation>Diese Firmware-Datei ist für ein anderes Monitormodell bestimmt. Verwenden Sie die Firmware-Datei für Ihren Monitor.</translation>
    </message>
    <message>
        <source>UnsupportVersionErrorMessage</source>
        <translation>Diese Firmware-Datei kann nicht über die Firmware installiert werden, die Ihr Monitor jetzt hat.</translation>
    </message>
    <message>
        <source>AlreadyUpdatedMessage</source>
        <translation>Der Monitor hat diese Firmware bereits. Eine Aktualisierung ist nicht nötig.</translation>
    </message>
    <message>
        <source>ErrorCodeTitle</source>
        <translation>Die Aktualisierung ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>ErrorCode</source>
        <translation>Die Aktualisierung konnte nicht abgeschlossen werden (Fehlercode %1).

Lassen Sie den Monitor angeschlossen, schalten Sie ihn aus und wieder ein und starten Sie das Programm erneut. Tritt der Fehler wieder auf, wenden Sie sich an den Kundendienst und nennen Sie den Fehlercode.</translation>
    </message>
    <message>
        <source>UpdateStateUnchanged</source>
        <translation>Es wurde nichts installiert; der Monitor funktioniert wie bisher.</translation>
    </message>
    <message>
        <source>UpdateStateMixed</source>
        <translation>Einige Geräte des Monitors sind für die Installation der neuen Firmware beim nächsten Neustart vorgemerkt, andere nicht; danach kann alte und neue Firmware nebeneinander laufen. Lassen Sie den Monitor eingeschaltet und führen Sie die Aktualisierung erneut aus.</translation>
    </message>
    <message>
        <source>UpdateStateMarked</source>
        <translation>Die neue Firmware ist auf dem Monitor und zur Installation vorgemerkt: Der Monitor installiert sie beim nächsten Neustart. Lassen Sie ihn eingeschaltet und führen Sie die Aktualisierung erneut aus, um sie abzuschließen.</translation>
    </message>
    <message>
        <source>UpdateStateNeedsRecovery</source>
        <translation>Die Firmware des Monitors wurde gelöscht und nicht vollständig neu geschrieben; er startet nicht mehr normal. Lassen Sie ihn eingeschaltet und verbunden und führen Sie die Aktualisierung sofort erneut aus. Wurde er ausgeschaltet, meldet er sich als „MCU ISP MODE“; dieses Programm stellt ihn wieder her, wenn sein Paket dieses Produkt nennt.</translation>
    </message>
    <message>
        <source>UpdateStateNotBack</source>
        <translation>Der Monitor installiert die Firmware möglicherweise noch. Lassen Sie ihn eingeschaltet und verbunden, bis er wieder ein Bild zeigt, und starten Sie dann das Aktualisierungsprogramm erneut, um seine Versionen zu prüfen.</translation>
    </message>
    <message>
        <source>UpdateStateVersionsNotReached</source>
        <translation>Der Monitor wurde neu gestartet, meldet aber nicht die neuen Versionen. Schalten Sie ihn aus und wieder ein; sind die Versionen noch die alten, führen Sie die Aktualisierung erneut aus.</translation>
    </message>
    <message>
        <source>MonitorUnavailableEntry</source>
        <translation>Monitor %1 (kann nicht geöffnet werden)</translation>
    </message>
    <message>
        <source>MonitorUnavailableMessage</source>
        <translation>Ein Monitor wurde gefunden, kann aber nicht geöffnet werden:</translation>
    </message>
    <message>
        <source>MonitorUnavailableLine</source>
        <translation>Monitor %1: %2</translation>
    </message>
    <message>
        <source>MonitorBusyReason</source>
        <translation>ein anderes Programm verwendet ihn. Beenden Sie das andere Aktualisierungs- oder Monitorprogramm und starten Sie dieses Programm dann erneut.</translation>
    </message>
    <message>
        <source>MonitorAccessReason</source>
        <translation>dieser Benutzer darf ihn nicht öffnen: die udev-Regel für den Monitor fehlt. Installieren Sie sie (siehe README, „Real monitors on Linux“), ziehen Sie dann den USB-Stecker des Monitors und stecken Sie ihn wieder ein.</translation>
    </message>
    <message>
        <source>MonitorOtherReason</source>
        <translation>er konnte nicht geöffnet werden (Status %1). Ziehen Sie den USB-Stecker des Monitors, stecken Sie ihn wieder ein und starten Sie dieses Programm erneut.</translation>
    </message>
    <message>
        <source>QuitRefusedMessage</source>
        <translation>Die Aktualisierung läuft noch und kann jetzt nicht abgebrochen werden: Ein Beenden könnte den Monitor unbrauchbar machen. Warten Sie, bis die Aktualisierung abgeschlossen ist.</translation>
    </message>
    <message>
        <source>UpdateCompleteNotFoundMessage</source>
        <translation>Der Monitor wurde aktualisiert (%1 %2), wurde danach aber nicht wieder gefunden. Schalten Sie ihn aus und wieder ein und prüfen Sie, ob sein USB-Kabel verbunden ist; danach kann er wieder verwendet werden.</translation>
    </message>
    <message>
        <source>SearchedFolder</source>
        <translation>Durchsuchter Ordner: %1</translation>
    </message>
    <message>
        <source>PhaseClosingApplications</source>
        <translation>Die Monitorprogramme werden beendet …</translation>
    </message>
    <message>
        <source>PhaseTransferring</source>
        <translation>Abbild %1 von %2 wird an den Monitor übertragen …</translation>
    </message>
    <message>
        <source>PhaseRestarting</source>
        <translation>Der Monitor startet neu, um die Firmware zu installieren. Er wird wieder gesucht (Versuch %1 von %2) …</translation>
    </message>
    <message>
        <source>PhaseChecking</source>
        <translation>Die installierten Versionen werden geprüft …</translation>
    </message>
    <message>
        <source>PhaseRelaunching</source>
        <translation>Die Monitorprogramme werden wieder gestartet …</translation>
    </message>
    <message>
        <source>UpdateRunCount</source>
        <translation>Durchlauf %1 von %2</translation>
    </message>
    <message>
        <source>ElapsedTime</source>
        <translation>Verstrichene Zeit: %1</translation>
    </message>
    <message>
        <source>UpdateCaution</source>
        <translation>Ziehen Sie den Stecker des Monitors nicht und schalten Sie ihn nicht aus, und lassen Sie diesen Computer nicht in den Ruhezustand gehen, bis die Aktualisierung abgeschlossen ist.</translation>
    </message>
    <message>
        <source>UpdateFinishedNotification</source>
        <translation>Die Firmware-Aktualisierung von %1 ist abgeschlossen.</translation>
    </message>
    <message>
        <source>UpdateCompleteUsable</source>
        <translation>%1 kann wieder verwendet werden.</translation>
    </message>
    <message>
        <source>WarningUpdateTimeUnderAMinute</source>
        <translation>Die Aktualisierung dauert weniger als eine Minute. Ziehen Sie den Monitor nicht ab und schalten Sie ihn nicht aus, bis das Programm meldet, dass sie abgeschlossen ist.</translation>
    </message>
</context>
</TS>
