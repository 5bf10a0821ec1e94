-- Marks clients without a last-seen time as never seen (status 2).
UPDATE dbo.APP_Client SET status = 2 WHERE lastSeen IS NULL AND status = 0;
PRINT 'Clients marked as never seen: ' + CAST(@@ROWCOUNT AS nvarchar(20));
GO
