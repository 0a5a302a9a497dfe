<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Localizable</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>PreWarningDescription</source>
        <translation>Please read before you update the monitor firmware.</translation>
    </message>
    <message>
        <source>PreWarningMessage</source>
        <translation>This program installs new firmware on your monitor.

Before you continue:
• Connect the monitor to this computer with its USB cable.
• Connect the monitor to mains power and switch it on.
• Save your work and close other programs that control the monitor. The updater closes the maker's own monitor applications when the update starts.

During the update:
• Do not unplug the USB cable or the power cable of the monitor.
• Do not switch off the monitor or the computer, and do not let the computer sleep.
• The monitor restarts by itself to install the firmware. Its screen may stay dark for several minutes; this is normal.

An interrupted update can leave the monitor unusable.

Click OK to continue.</translation>
    </message>
    <message>
        <source>ProcessDescription</source>
        <translation>These applications control the monitor and will be closed when the update starts. Save your work in them, then click OK to continue.</translation>
    </message>
    <message>
        <source>MonitorSelectMessage</source>
        <translation>Select the monitor to update. The selected monitor shows its identification on its screen.</translation>
    </message>
    <message>
        <source>MonitorConnectMessage</source>
        <translation>No monitor found. Connect the monitor to this computer with its USB cable and switch it on; the list updates by itself.</translation>
    </message>
    <message>
        <source>CurrentVersion</source>
        <translation>Current version:</translation>
    </message>
    <message>
        <source>UpdatedVersion</source>
        <translation>Version after the update:</translation>
    </message>
    <message>
        <source>DoUpdate</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Before the update starts</translation>
    </message>
    <message>
        <source>WarningConfirm</source>
        <translation>Confirm both points to start the update:</translation>
    </message>
    <message>
        <source>WarningPowerCheck</source>
        <translation>The monitor is switched on, and its power cable stays plugged in until the update is finished.</translation>
    </message>
    <message>
        <source>WarningUSBCheck</source>
        <translation>The USB cable between the monitor and this computer stays plugged in until the update is finished.</translation>
    </message>
    <message>
        <source>Execute</source>
        <translation>Start Update</translation>
    </message>
    <message numerus="yes">
        <source>WarningUpdateTime</source>
        <translation>
            <numerusform>The update takes about %n minute. Do not unplug the monitor or switch it off until the updater reports that it is finished.</numerusform>
            <numerusform>The update takes about %n minutes. Do not unplug the monitor or switch it off until the updater reports that it is finished.</numerusform>
        </translation>
    </message>
    <message>
        <source>UpdateCompleteTitle</source>
        <translation>Update complete</translation>
    </message>
    <message>
        <source>UpdateCompleteMessage</source>
        <translation>The monitor firmware has been updated.

New version: %1%2</translation>
    </message>
    <message>
        <source>CommunicationError</source>
        <translation>Communication error</translation>
    </message>
    <message>
        <source>CommunicationErrorMessage</source>
        <translation>The monitor did not answer as expected. Check that it is switched on and connected to this computer with its USB cable, then start the updater again.</translation>
    </message>
    <message>
        <source>FileError</source>
        <translation>Firmware file error</translation>
    </message>
    <message>
        <source>KfwFileNotFoundErrorMessage</source>
        <translation>No firmware file (.kfw2) was found in the folder of the updater. Place the firmware file for your monitor in that folder and start the updater again.</translation>
    </message>
    <message>
        <source>KfwFileMultipleFoundErrorMessage</source>
        <translation>More than one firmware file (.kfw2) was found in the folder of the updater. Leave only the firmware file for your monitor in that folder and start the updater again.</translation>
    </message>
    <message>
        <source>FileOpenErrorMessage</source>
        <translation>The firmware file cannot be opened. It may be damaged or in a format this updater does not support. Download the firmware file again.</translation>
    </message>
    <message>
        <source>FileDiffrentModelErrorMessage</source>
        <translation>This firmware file is for another monitor model. Use the firmware file for your monitor.</translation>
    </message>
    <message>
        <source>UnsupportVersionErrorMessage</source>
        <translation>This firmware file cannot be installed over the firmware your monitor has now.</translation>
    </message>
    <message>
        <source>AlreadyUpdatedMessage</source>
        <translation>The monitor already has this firmware. No update is needed.</translation>
    </message>
    <message>
        <source>ErrorCodeTitle</source>
        <translation>The update failed</translation>
    </message>
    <message>
        <source>ErrorCode</source>
        <translation>The update could not be completed (error code %1).

Keep the monitor connected, switch it off and on again, and start the updater again. If the error occurs again, contact customer support and give the error code.</translation>
    </message>
    <message>
        <source>UpdateStateUnchanged</source>
        <translation>Nothing was installed; the monitor works as before.</translation>
    </message>
    <message>
        <source>UpdateStateMixed</source>
        <translation>Some devices of the monitor are marked to install the new firmware at its next restart, others are not, so it may then run old and new firmware side by side. Leave the monitor switched on and run the update again.</translation>
    </message>
    <message>
        <source>UpdateStateMarked</source>
        <translation>The new firmware is on the monitor and marked for installation: the monitor installs it at its next restart. Leave it switched on and run the update again to finish it.</translation>
    </message>
    <message>
        <source>UpdateStateNeedsRecovery</source>
        <translation>The monitor's firmware was erased and not completely rewritten, so it will not start normally. Leave it switched on and connected and run the update again now. If it was switched off, it comes back as “MCU ISP MODE”; this updater recovers it when its package lists that product.</translation>
    </message>
    <message>
        <source>UpdateStateNotBack</source>
        <translation>The monitor may still be installing the firmware. Leave it switched on and connected until it shows a picture again, then start the updater again to check its versions.</translation>
    </message>
    <message>
        <source>UpdateStateVersionsNotReached</source>
        <translation>The monitor restarted but does not report the new versions. Switch it off and on; if the versions are still the old ones, run the update again.</translation>
    </message>
    <message>
        <source>MonitorUnavailableEntry</source>
        <translation>Monitor %1 (cannot be opened)</translation>
    </message>
    <message>
        <source>MonitorUnavailableMessage</source>
        <translation>A monitor was found but cannot be opened:</translation>
    </message>
    <message>
        <source>MonitorUnavailableLine</source>
        <translation>Monitor %1: %2</translation>
    </message>
    <message>
        <source>MonitorBusyReason</source>
        <translation>another program is using it. Close the other updater or monitor tool, then start this updater again.</translation>
    </message>
    <message>
        <source>MonitorAccessReason</source>
        <translation>this user may not open it: the udev rule for the monitor is missing. Install it (see the README, "Real monitors on Linux"), then unplug the monitor and plug it in again.</translation>
    </message>
    <message>
        <source>MonitorOtherReason</source>
        <translation>it could not be opened (status %1). Unplug the monitor, plug it in again and start this updater again.</translation>
    </message>
    <message>
        <source>QuitRefusedMessage</source>
        <translation>The update is still running and cannot be stopped now: closing the updater could leave the monitor unusable. Wait until the update has finished.</translation>
    </message>
    <message>
        <source>UpdateCompleteNotFoundMessage</source>
        <translation>The monitor was updated (%1 %2), but it was not found again afterwards. Switch it off and on and check that its USB cable is connected; it can then be used again.</translation>
    </message>
    <message>
        <source>SearchedFolder</source>
        <translation>Folder searched: %1</translation>
    </message>
    <message>
        <source>PhaseClosingApplications</source>
        <translation>Closing the monitor applications…</translation>
    </message>
    <message>
        <source>PhaseTransferring</source>
        <translation>Transferring image %1 of %2 to the monitor…</translation>
    </message>
    <message>
        <source>PhaseRestarting</source>
        <translation>The monitor restarts to install the firmware. Searching for it again (attempt %1 of %2)…</translation>
    </message>
    <message>
        <source>PhaseChecking</source>
        <translation>Checking the installed versions…</translation>
    </message>
    <message>
        <source>PhaseRelaunching</source>
        <translation>Starting the monitor applications again…</translation>
    </message>
    <message>
        <source>UpdateRunCount</source>
        <translation>Run %1 of %2</translation>
    </message>
    <message>
        <source>ElapsedTime</source>
        <translation>Elapsed time: %1</translation>
    </message>
    <message>
        <source>UpdateCaution</source>
        <translation>Do not unplug the monitor or switch it off, and do not let this computer sleep, until the update has finished.</translation>
    </message>
    <message>
        <source>UpdateFinishedNotification</source>
        <translation>The firmware update of %1 has finished.</translation>
    </message>
    <message>
        <source>UpdateCompleteUsable</source>
        <translation>%1 can be used again.</translation>
    </message>
    <message>
        <source>WarningUpdateTimeUnderAMinute</source>
        <translation>The update takes less than a minute. Do not unplug the monitor or switch it off until the updater reports that it is finished.</translation>
    </message>
</context>
</TS>
