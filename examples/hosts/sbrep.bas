Attribute VB_Name = "Sbrep"
' Calling sbrep.dll from VB6, a 32-bit program: it needs the x86 sbrep.dll.
Option Explicit

Public Const SBREP_BALANCE_SHEET As Long = 1
Public Const SBREP_INCOME_STATEMENT As Long = 2
Public Const SBREP_VAT_SCHEDULE_ONE As Long = 3

' VB6 hands a String over in the system's ANSI code page, which the DLL
' reads the path in. The message comes back into a Byte array: GBK bytes on
' every system, decoded with the Chinese locale (&H804, code page 936).
Private Declare Function SetSBRepData Lib "sbrep.dll" _
    (ByVal xmlPath As String, ByVal tableKind As Long, ByRef message As Byte) As Long

' Fills one table. Returns True on success; otherwise False, with the DLL's
' message in message. Raises error 5 for a path that the ANSI code page
' cannot hold (it would reach the DLL with '?' in it).
Public Function TransferTable(ByVal xmlPath As String, ByVal tableKind As Long, _
                              ByRef message As String) As Boolean
    Dim buffer(0 To 63) As Byte
    If StrConv(StrConv(xmlPath, vbFromUnicode), vbUnicode) <> xmlPath Then
        Err.Raise 5, "Sbrep", "The ANSI code page cannot hold the path " & xmlPath
    End If
    If SetSBRepData(xmlPath, tableKind, buffer(0)) = 0 Then
        message = ""
        TransferTable = True
    Else
        message = StrConv(buffer, vbUnicode, &H804)
        message = Left$(message, InStr(message & vbNullChar, vbNullChar) - 1)
        TransferTable = False
    End If
End Function
