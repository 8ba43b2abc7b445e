{ Calling sbrep.dll from Delphi 2009 or later. A 32-bit program needs the
  x86 sbrep.dll, a 64-bit one the x64 DLL. }
unit Sbrep;

interface

const
  SBREP_BALANCE_SHEET = 1;
  SBREP_INCOME_STATEMENT = 2;
  SBREP_VAT_SCHEDULE_ONE = 3;
  SBREP_MESSAGE_CAPACITY = 32;

type
  { The message's bytes are GBK on every system, whatever its ANSI code page. }
  GbkString = type AnsiString(936);

function SetSBRepData(XmlPath: PAnsiChar; TableKind: Integer;
  Message: PAnsiChar): Integer; stdcall; external 'sbrep.dll' name 'SetSBRepData';

{ Fills one table. Returns True on success; otherwise False, with the DLL's
  message in Message. Raises EArgumentException for a path that the system's
  ANSI code page, in which the DLL reads it, cannot hold. }
function TransferTable(const XmlPath: string; TableKind: Integer;
  out Message: string): Boolean;

implementation

uses
  SysUtils;

function TransferTable(const XmlPath: string; TableKind: Integer;
  out Message: string): Boolean;
var
  Path: AnsiString;
  Buffer: array[0..63] of AnsiChar;
  Length: Integer;
  Text: GbkString;
begin
  Path := AnsiString(XmlPath);
  if string(Path) <> XmlPath then
    raise EArgumentException.Create('The ANSI code page cannot hold the path ' + XmlPath);
  FillChar(Buffer, SizeOf(Buffer), 0);
  Result := SetSBRepData(PAnsiChar(Path), TableKind, @Buffer[0]) = 0;
  if Result then
    Message := ''
  else
  begin
    Length := 0;
    while (Length < High(Buffer)) and (Buffer[Length] <> #0) do
      Inc(Length);
    { The bytes as they are, marked as code page 936: no conversion yet. }
    SetString(Text, PAnsiChar(@Buffer[0]), Length);
    Message := string(Text);
  end;
end;

end.
