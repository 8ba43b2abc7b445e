// Calling sbrep.dll from C#. A 32-bit process needs the x86 sbrep.dll and a
// 64-bit one the x64 DLL; AnyCPU runs 64-bit on 64-bit Windows, so build for
// x86 or ship the x64 DLL.
using System;
using System.Runtime.InteropServices;
using System.Text;

public static class Sbrep
{
    public const int BalanceSheet = 1;
    public const int IncomeStatement = 2;
    public const int VatScheduleOne = 3;

    // The path goes over in the system's ANSI code page, which the DLL reads
    // it in: a character that code page lacks throws instead of becoming '?'.
    // The message comes back as raw bytes: GBK on every system.
    [DllImport("sbrep.dll", EntryPoint = "SetSBRepData", ExactSpelling = true,
               CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi,
               BestFitMapping = false, ThrowOnUnmappableChar = true)]
    private static extern int SetSBRepData(string xmlPath, int tableKind,
                                           [Out] byte[] message);

    private static readonly Encoding Gbk = GetGbk();

    private static Encoding GetGbk()
    {
#if NETCOREAPP
        // .NET Core and .NET 5 and later know code page 936 only through
        // this provider (package System.Text.Encoding.CodePages before .NET 5).
        Encoding.RegisterProvider(CodePagesEncodingProvider.Instance);
#endif
        return Encoding.GetEncoding(936);
    }

    // Fills one table. Returns null on success, the DLL's message otherwise.
    public static string Transfer(string xmlPath, int tableKind)
    {
        byte[] message = new byte[64];  // 32 bytes at least
        if (SetSBRepData(xmlPath, tableKind, message) == 0)
            return null;
        int length = Array.IndexOf(message, (byte)0);
        return Gbk.GetString(message, 0, length < 0 ? message.Length : length);
    }
}

public static class SbrepExample
{
    public static void Run()
    {
        string failure = Sbrep.Transfer(@"C:\exports\zcfzb.xml", Sbrep.BalanceSheet);
        Console.WriteLine(failure ?? "filed");
    }
}
